// network_category_posix.cpp - Linux gives networks no category.
#include "sys/network_category.h"

TNetworkCategories ReadNetworkCategories() { return {}; }
