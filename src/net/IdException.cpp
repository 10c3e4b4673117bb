// The network exception tree; the root's class name is defined here so that its type
// information is emitted once.
#include "net/IdException.h"

const char* EIdException::ClassName() const
{
    return "EIdException";
}
