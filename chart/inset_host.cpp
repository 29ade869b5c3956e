#include "chart/inset_host.h"

InsetHost TheInsetHost;
