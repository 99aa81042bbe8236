#include "Low.h"
#include "Top.h"
