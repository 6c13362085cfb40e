#pragma once
#include "platform/linux/Backend.h"
#include "platform/sim/Other.h"
