# Observe the stubs' handlers without changing them: calls of vq_ra_after and
# vq_ra_mark_start land in recorders in the test, which pass them on.
set(RA_TEST_LINK_OPTIONS -Wl,--wrap=vq_ra_after -Wl,--wrap=vq_ra_mark_start)
