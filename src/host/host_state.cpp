// What VQ_Apply keeps of the accepted host record.
#include "host/host.h"

extern "C" {
uint32_t ra_game = 0;
vq_log_fn ra_log = nullptr;
}
