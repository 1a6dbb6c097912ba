#include "playercontext.h"

PlayerContext &PlayerContext::Get()
{
    static PlayerContext context;
    return context;
}
