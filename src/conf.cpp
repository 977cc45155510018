#include "conf.h"

conf_record conf;
