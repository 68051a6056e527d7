// The names of the record file's columns, as its header line gives them:
// the plug-in writes its values under them and the companion reads them by
// them. A numbered column is its prefix and a car number, 1 to RA_CARS.
#pragma once

#define RA_COLUMN_FILE "file"                    // the saved replay's name, without Dir
#define RA_COLUMN_SAVED "saved"                  // when it was saved: YYYY-MM-DD HH:MM:SS
#define RA_COLUMN_STARTED "started"              // when the race started, in the same form
#define RA_COLUMN_TYPE "type"                    // race type code, e.g. "SR"
#define RA_COLUMN_TRACK "track"                  // track folder, upper case
#define RA_COLUMN_LAPS "laps"                    // number of laps
#define RA_COLUMN_CARS "cars"                    // number of cars
#define RA_COLUMN_COUNT "count"                  // cars other than traffic
#define RA_COLUMN_COPS "cops"                    // number of cops
#define RA_COLUMN_TRAFFIC "traffic"              // number of traffic cars
#define RA_COLUMN_TIER "tier"                    // the game's tier word
#define RA_COLUMN_CIRC "circ"                    // circuit id, race type 4 only
#define RA_COLUMN_SEED "seed"                    // the game's seed word, eight hex digits
#define RA_COLUMN_WEATHER "weather"              // WET or DRY
#define RA_COLUMN_NIGHT "night"                  // NIGHT or DAY
#define RA_COLUMN_DIRECTION "direction"          // REVERSE or NORMAL
#define RA_COLUMN_MIRROR "mirror"                // MIRRORED or NORMAL
#define RA_COLUMN_START_POS "start_pos"          // the player's start position + 1, or 0
#define RA_COLUMN_INDEX "index"                  // sequence index of the attempt
#define RA_COLUMN_TRACK_TR_MD5 "track_tr_md5"    // digest of the track's Tr.frd, or empty
#define RA_COLUMN_TRACK_TRN_MD5 "track_trn_md5"  // digest of its Trn.frd, or empty
#define RA_COLUMN_SOURCE "source"                // the game's replay it was copied from
#define RA_COLUMN_NAME "name"                    // numbered: the racer's name
#define RA_COLUMN_BEST_LAP "best_lap_car"        // numbered: best lap, seconds and hundredths
#define RA_COLUMN_TOTAL_TIME "total_time_car"    // numbered: race time, the same form
#define RA_COLUMN_MAX_SPEED "max_speed_car"      // numbered: top speed in km/h
#define RA_COLUMN_PLAYER "player"                // the player's car, 1..16
#define RA_COLUMN_REPLAY_MD5 "replay_md5"        // the saved copy's digest (ra_replay_digest)
