#pragma once
#include "platform/Interface.h"
