#pragma once
#include "platform/Interface.h"
#include "shared/Common.h"
#include "pane/Pane.h"
