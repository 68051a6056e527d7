"""big_share.py PATH KIND COUNT [SHARER]
Writes a share (KIND share: COUNT replays of 640 bytes, each with its record
line) or a card (KIND card: COUNT record lines, no replays) in the share
format's exact schema, as a friend's program would, for the tests and the
benchmark of big imports. SHARER (default Zoë) drove car 1 of every race."""
import hashlib, os, sqlite3, sys

replay_size = 640

head = ("file,saved,started,type,track,laps,cars,count,cops,traffic,tier,circ,seed,weather,night,"
        "direction,mirror,start_pos,index,track_tr_md5,track_trn_md5,source")
for col in ("name", "best_lap_car", "total_time_car", "max_speed_car"):
    head += "".join(",%s%d" % (col, c) for c in range(1, 17))
head += ",player"


def line(i, name, sharer="Zo\u00eb"):
    cells = [name, "2024-01-01 10:00:00", "2024-01-01 09:55:00", "SR", ["ALPINE", "COAST", "CITY"][i % 3],
             "3", "4", "4", "0", "0", "0", "0", "1234ABCD", "DRY", "DAY", "NORMAL", "NORMAL", "1", "",
             "", "", "Replays\\replay.rp4"]
    for col in range(4):
        for car in range(1, 17):
            v = ""
            if car <= 4:
                v = [sharer if car == 1 else "Ren\u00e9e%d" % car,
                     "%d.%02d" % (80 + (i * 7 + car) % 9, (i + car) % 100),
                     "%d.%02d" % (240 + car, i % 100), str(200 + car)][col]
            cells.append(v)
    cells.append("1")
    return ",".join(cells)


def make(path, kind, count, sharer="Zo\u00eb"):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("PRAGMA page_size=1024")
    db.execute("PRAGMA application_id=%d" % 0x52415348)
    db.execute("PRAGMA user_version=2")  # texts in UTF-8
    db.execute("CREATE TABLE manifest(kind TEXT NOT NULL, sharer TEXT NOT NULL, made TEXT NOT NULL)")
    db.execute("CREATE TABLE record(line INTEGER PRIMARY KEY, text TEXT NOT NULL)")
    db.execute("CREATE TABLE replays(id INTEGER PRIMARY KEY, name TEXT NOT NULL, size INTEGER NOT NULL, "
               "sha256 TEXT NOT NULL, bytes BLOB)")
    db.execute("INSERT INTO manifest VALUES(?,?,?)", (kind, sharer, "2024-01-02 10:00:00"))
    db.execute("INSERT INTO record VALUES(0,?)", (head,))
    for i in range(count):
        name = "2024-01-01_10-00-00_SR_%06d.rp4" % i
        data = (b"%08d" % i) * (replay_size // 8)
        digest = hashlib.sha256(data if kind == "share" else name.encode()).hexdigest()
        db.execute("INSERT INTO replays(name,size,sha256,bytes) VALUES(?,?,?,?)",
                   (name, replay_size, digest, data if kind == "share" else None))
        db.execute("INSERT INTO record VALUES(?,?)", (i + 1, line(i, name, sharer)))
    db.commit()
    db.close()


if __name__ == "__main__":
    make(sys.argv[1], sys.argv[2], int(sys.argv[3]), *sys.argv[4:5])
