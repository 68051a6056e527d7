// The shipped DLL as the Linux simulator holds it: mapped by our PE loader,
// its imports bound to the Windows stand-ins.
#pragma once

#include "pe_loader.h"

typedef sim_pe_image sim_plugin_module;
