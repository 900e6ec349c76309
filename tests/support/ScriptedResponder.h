#pragma once

#include "platform/MessageBox.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

// Answers message boxes for tests: records every text and answers from a
// script (IDOK for OK boxes, IDNO for questions once the script is used up).
// Installed for its lifetime.
class ScriptedResponder final : public platform::MessageBoxResponder {
public:
    ScriptedResponder() { m_previous = platform::SetMessageBoxResponder(this); }
    ~ScriptedResponder() override { platform::SetMessageBoxResponder(m_previous); }

    void QueueAnswer(int answer)
    {
        std::lock_guard lock(m_mutex);
        m_answers.push_back(answer);
    }

    int Show(const std::string& text, unsigned type) override
    {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(text);
        if (!m_answers.empty()) {
            const int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        return (type & 0xF) == platform::MB_YESNO ? platform::IDNO : platform::IDOK;
    }

    std::vector<std::string> Texts() const
    {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

private:
    platform::MessageBoxResponder* m_previous = nullptr;
    mutable std::mutex m_mutex;
    std::deque<int> m_answers;
    std::vector<std::string> m_texts;
};

}  // namespace testing_support
