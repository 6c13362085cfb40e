#pragma once
#include "pane/Pane.h"
#include <vector>
