#include "app/app_hooks.h"

AppHooks appHooks;
