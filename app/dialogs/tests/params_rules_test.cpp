#include "dialogs/params_rules.h"
