#include "CAppState.h"

namespace {
CAppState g_defaultState;
CAppState* g_state = &g_defaultState;
}

CAppState& CAppState::Get()
{
    return *g_state;
}

void CAppState::Install(CAppState* state)
{
    g_state = state ? state : &g_defaultState;
}
