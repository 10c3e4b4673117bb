// The top-level error report lives with the platform layers, so the site editor can use it too.
#pragma once

#include "platform/ErrorReport.h"
