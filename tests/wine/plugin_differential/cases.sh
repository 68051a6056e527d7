# The table of the differential check: one case per line,
#   name | saves | race-file text added to the example race | settings
# and, in case_setup below, what each case's game folder holds beforehand.
# The settings are the keys of [ReplayAutosave], "\n" between keys; the word
# "example" takes examples/replay_autosave.ini. Text is Windows-1252 bytes
# (backslash escapes of printf %b), as the game and players' INI files hold it. Templates
# use %date% only with %time%, so that every clock field in a name is a
# whole date and time that the check can place in its window.
# Long names, made of one letter: a replay folder of 249 characters (with
# "replay.rp4", the longest path Windows takes) and of 250, and a Dir and
# template that together run past it.
r240=$(printf 'r%.0s' {1..240})
d95=$(printf 'd%.0s' {1..95})
x100=$(printf 'x%.0s' {1..100})
case_table=(
  'example|2||example'
  'clear_ip_on|2||Name = on_%index%\nClearIp = 1'
  'clear_ip_off|1||Name = off\nClearIp = 0'
  'record|2|[game]\nnight = 1\n[start_positions]\n0 = 3\n[racers]\n2 = O"Neil, Jo\n3 = Tab\tRacer?3\n|Name = %name2%_%index%\nClearIp = 0\nRecord = 1'
  'record_after_cut_line|1||Name = %date%_%time%_r\nRecord = 1'
  'index_collides|3||Name = race_%index%\nIndexStart = 1\nClearIp = 0'
  'dir_new_two_levels|2||Dir = Season 1\\Week 2\nName = r_%index%\nRecord = 1'
  'dir_through_a_file|1||Dir = Blocked\\Saves\nName = r_%index%\nRecord = 1'
  'record_is_a_folder|1||Name = r_%index%\nRecord = 1'
  'replay_missing|1|[game]\nwrite_replay = 0\n|Name = r_%index%\nRecord = 1'
  'template_names_own_replay|1||Dir = Replays\nName = replay'
  'own_replay_other_case|1|[game]\nreplay_dir = replays\\\n|Dir = REPLAYS\nName = Replay\nRecord = 1'
  # Windows drops a folder name's trailing period: the copy lands in "Saves".
  'dir_trailing_dot|1||Dir = Saves.\nName = r_%index%'
  # A device's name is no file name: the plug-in must not copy into NUL.
  'device_name|1||Name = nul'
  # What the end-to-end tests play, once each.
  'track_digests|1||Name = tr_%track_tr_md5%_%track_trn_md5%\nClearIp = 0'
  'playback_skipped|1|[game]\nplayback_state = 2\n|Name = r_%index%'
  'disabled|2||Enabled = 0\nRecord = 1'
  'index_in_capitals|2||Name = r_%INDEX%\nClearIp = 0'
  'pause_site|1|[game]\nreplay_ip = 10.0.0.1\nsave_site = pause\n|Dir = Pause\nName = %type%_%index%'
  'career_circuit|1|[game]\nrace_type = 4\nm_flag = 1\n[circuit]\ntype = 1\n|ck_name = ck\nc_name = c\nn_name = n\nName = base'
  'multi_race|1|[game]\nrace_type = 3\nm_flag = 1\nrace_variant = 9\n|m_name = m\nn_name = n\nName = base'
  "replay_folder_249|1|[game]\nreplay_dir = Replays\\\\$r240\\\\\n|Name = x\nClearIp = 0"
  "replay_folder_250|1|[game]\nreplay_dir = Replays\\\\r$r240\\\\\n|Name = x\nClearIp = 0"
  "path_too_long|1||Dir = $d95\nName = $x100%date%%date%%date%%date%%date%%date%%date%%date%%date%"
  'windows_1252|2|[racers]\n1 = J\xe9r\xf4me\n2 = M\xfcller\n3 = S\xf8ren \x80\n|Dir = Sauvegard\xe9es\nName = R\xe9sultat_%name1%_%name2%_%index%\nRecord = 1'
)

# Files a case's game folder holds before the run (the current directory).
case_setup() {
  case $1 in
    example | track_digests) cp -r "$examples/game/." . ;;
    record_after_cut_line)
      # A line an earlier failed write cut short: the next line must not be
      # glued to it.
      mkdir -p SaveData/Saves
      printf 'file,saved\r\n"old.rp4",2001-02-03 04:' >SaveData/Saves/replays.csv ;;
    index_collides)
      # Taken candidates: two replays, and a folder with a candidate's name.
      mkdir -p SaveData/Saves/race_3.rp4
      printf 'first' >SaveData/Saves/race_1.rp4
      printf 'second' >SaveData/Saves/race_2.rp4 ;;
    dir_through_a_file) printf 'not a folder' >Blocked ;;
    # The record cannot be opened: the replay must stand, the failure said.
    record_is_a_folder) mkdir -p SaveData/Saves/replays.csv ;;
  esac
}
