#include "window/CommandTarget.h"

namespace {

// Set and read on the window's thread only.
CCommandTarget* g_appTarget = nullptr;

}  // namespace

CCommandTarget* AppCommandTarget()
{
    return g_appTarget;
}

void SetAppCommandTarget(CCommandTarget* target)
{
    g_appTarget = target;
}
