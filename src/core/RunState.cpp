#include "RunState.h"

RunState &State()
{
    static RunState s;
    return s;
}
