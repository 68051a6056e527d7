// Hook state shared between the entry stubs and the rest of the plug-in.
// vq_ra_result lives with the stubs, which alone use it.
#include "patches/hooks.h"

extern "C" {
uint32_t vq_ra_save_stock = 0;
uint32_t vq_ra_setup_stock = 0;
int32_t vq_ra_circ_type = -1;
uint32_t vq_ra_circ_id = 0;
uint32_t ra_start_valid = 0;
ra_systemtime ra_start_time = {0, 0, 0, 0, 0, 0, 0, 0};
}
