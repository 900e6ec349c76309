#pragma once

// Something that carries out commands by id. The frame routes a command to
// its view, then to itself, then to the application's target; it reaches the
// application only through this, so the frame does not depend on the
// application class that creates it.
class CCommandTarget {
public:
    virtual bool OnCmdMsg(unsigned id) = 0;
    virtual bool HandlesCommand(unsigned id) const = 0;
    // The handler's name, for diagnostics and tests; null when there is none.
    virtual const char* HandlerName(unsigned id) const = 0;

protected:
    ~CCommandTarget() = default;
};

// The application's commands: set while an application object lives, null
// otherwise.
CCommandTarget* AppCommandTarget();
void SetAppCommandTarget(CCommandTarget* target);
