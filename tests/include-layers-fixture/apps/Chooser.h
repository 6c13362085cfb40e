#pragma once
#include "platform/sim/Other.h"
#include "pane/gtk/Window.h"
#include "agent/Engine.h"
