#include "zulTjXg.h"
