#pragma once
#include "shared/Common.h"
#include "apps/Chooser.h"
