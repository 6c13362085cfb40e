#pragma once
#include "agent/Engine.h"
