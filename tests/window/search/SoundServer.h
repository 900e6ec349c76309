#pragma once

// A sound server of a test's own: PulseAudio with one null sink, reached over
// its own socket only, and the processes a test starts beside it.
#include "TempDir.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

inline constexpr const char* kSink = "tunorva_test";

// Starts a program with extra environment, its output in the file `out`;
// the process id, or -1.
inline pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& out)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e)
        envText.emplace_back(*e);
    envText.insert(envText.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Ends a started process by its id and collects it.
inline void End(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
}

// Started on construction, stopped (by its process id) when the object
// goes; Stop and Start again keep the same socket, as a restarted desktop
// sound server does.
class SoundServer {
public:
    SoundServer()
    {
        m_socket = m_dir.File("native");
        Start();
    }
    ~SoundServer() { Stop(); }

    bool Start()
    {
        const std::string runtime = m_dir.File("runtime");
        std::filesystem::create_directories(runtime);
        chmod(runtime.c_str(), 0700);
        m_problem.clear();
        m_pid = Spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                       "--disable-shm=yes", "--load=module-null-sink sink_name=" + std::string(kSink),
                       "--load=module-native-protocol-unix auth-anonymous=1 socket=" + m_socket},
                      {"XDG_RUNTIME_DIR=" + runtime, "HOME=" + m_dir.Str()}, m_dir.File("server.log"));
        if (m_pid <= 0) {
            m_problem = "pulseaudio could not be started (is it installed?)";
            return false;
        }
        for (int i = 0; i < 100; ++i) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                m_problem = "pulseaudio ended at start";
                return false;
            }
            const pid_t info = Spawn({"pactl", "-s", Server(), "info"}, {}, "/dev/null");
            if (info > 0 && waitpid(info, &status, 0) == info && WIFEXITED(status) && WEXITSTATUS(status) == 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        m_problem = "pulseaudio did not answer within 5 seconds";
        End(m_pid);
        return false;
    }
    void Stop() { End(m_pid); }

    bool Running() const { return m_pid > 0; }
    const std::string& Problem() const { return m_problem; }
    std::string Server() const { return "unix:" + m_socket; }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
    std::string m_socket;
    std::string m_problem;
    pid_t m_pid = -1;
};

}  // namespace testing_support
