#pragma once
#include "platform/Interface.h"
#include "platform/linux/Backend.h"
