// PLACEHOLDER until the track digests land.
extern "C" {
int ra_md5_valid = 0;
char ra_md5_tr[33];
char ra_md5_trn[33];
char ra_md5_folder[24];
}
