#include "zulM.h"
