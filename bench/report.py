#!/usr/bin/env python3
"""Prints the table of docs/performance.md from the JSON results of `make bench`.

Usage: bench/report.py build-bench/results
"""
import json
import pathlib
import sys

UNITS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}

# (what, (binary, ours), (binary, peer) or a fixed figure, peer's name, goal)
# A figure is (binary, benchmark name) for its wall time in ms, or
# (binary, benchmark name, counter) for a counter.
ROWS = [
    ("Proximity filter + count, 1,000,000 points (ms)",
     ("bench_sqlite", "BM_OurProximityCount/1000000/iterations:20"),
     ("bench_sqlite", "BM_SqliteProximityCount/1000000/iterations:20"),
     "SQLite COUNT(*) WHERE", "< 100 (right press to grid)"),
    ("Proximity filter, 1,000,000 points (ms)",
     ("bench_filter", "BM_ProximityFilter/1000000"),
     ("bench_filter", "BM_HandWrittenLoop/1000000"),
     "hand-written loop over arrays", "practical limit"),
    ("Sort by NAME_EN, 1,000,000 points (ms)",
     ("bench_sqlite", "BM_OurSortByName/1000000/iterations:2"),
     ("bench_sqlite", "BM_SqliteOrderByName/1000000/iterations:2"),
     "SQLite ORDER BY NAME_EN (BINARY, no locale)", "< 1500"),
    ("Sort by X, 1,000,000 points (ms)",
     ("bench_sqlite", "BM_OurSortByX/1000000/iterations:3"),
     ("bench_sqlite", "BM_SqliteOrderByX/1000000/iterations:3"),
     "SQLite ORDER BY X", "< 1500"),
    ("Locate by NAME_EN, indexed, 1,000,000 points (us)",
     ("bench_sqlite", "BM_OurLocateIndexed/1000000", None, "us"),
     ("bench_sqlite", "BM_SqliteLookupIndexed/1000000", None, "us"),
     "SQLite WHERE NAME_EN=? with index", "< 100 ms (one keystroke)"),
    ("Build of the name index, 1,000,000 points (ms)",
     ("bench_sqlite", "BM_OurLocateIndexed/1000000", "first_locate_ms"),
     ("bench_sqlite", "BM_SqliteLookupIndexed/1000000", "index_build_ms"),
     "SQLite CREATE INDEX", "-"),
    ("Locate by NAME_EN, no index, 1,000,000 points (ms)",
     ("bench_sqlite", "BM_OurLocateScan/1000000/iterations:10"),
     ("bench_sqlite", "BM_SqliteLookupScan/1000000/iterations:10"),
     "SQLite WHERE NAME_EN=? NOT INDEXED", "-"),
    ("Load base file, 1,000,000 points (ms)",
     ("bench_sqlite", "BM_OurLoad/1000000/iterations:2"),
     ("bench_sqlite", "BM_SqliteLoad/1000000/iterations:2"),
     "SQLite file to :memory: (backup)", "< 1500"),
    ("Save base file, 1,000,000 points (ms)",
     ("bench_sqlite", "BM_OurSave/1000000/iterations:2"),
     ("bench_sqlite", "BM_SqliteSave/1000000/iterations:2"),
     "SQLite :memory: to file (backup)", "-"),
    ("Decode JPEG 8000 x 8000 (ms)",
     ("bench_picture", "BM_DecodeJpeg/8000"),
     ("bench_picture", "BM_Djpeg/8000"),
     "djpeg", "< 1500"),
    ("Decode JPEG 16000 x 16000 (ms)",
     ("bench_picture", "BM_DecodeJpeg/16000"),
     ("bench_picture", "BM_Djpeg/16000"),
     "djpeg", "< 1500"),
    ("Paint full-HD frame at 100 %, 16000 map (ms)",
     ("bench_picture", "BM_Draw100/16000"), None, "-", "< 100"),
    ("Paint full-HD frame at 50 %, 16000 map (ms)",
     ("bench_picture", "BM_Draw50/16000"), None, "-", "< 100"),
    ("Paint full-HD frame at fit, 16000 map (ms)",
     ("bench_picture", "BM_DrawFit/16000"), None, "-", "< 100"),
    ("Right press on the map to filtered grid shown, 1,000,000 points, 16000 map at 50 % (ms)",
     ("bench_mapview", "BM_RightPressToFilteredGrid/1000000"), None, "-", "< 100"),
    ("Drag release to repainted view, 16000 map at 50 % (ms)",
     ("bench_mapview", "BM_DragReleaseRepaints/1000000"), None, "-", "< 100"),
    ("Zoom change 50 % / 75 % to repainted view, 16000 map (ms)",
     ("bench_mapview", "BM_ZoomChangeRepaints/1000000"), None, "-", "< 100"),
    ("Title click to list sorted by a name, 1,000,000 points (ms)",
     ("bench_mapview", "BM_TitleClickSortsByName/1000000"), None, "-", "< 1500"),
    ("Title click to list sorted by X or Y, 1,000,000 points (ms)",
     ("bench_mapview", "BM_TitleClickSortsByX/1000000"), None, "-", "< 1500"),
    ("Incremental-search keystroke, found, 1,000,000 points (ms)",
     ("bench_mapview", "BM_SearchKeystrokeFound/1000000"), None, "-", "< 100"),
    ("Incremental-search keystroke, no match (whole list), 1,000,000 points (ms)",
     ("bench_mapview", "BM_SearchKeystrokeNoMatch/1000000"), None, "-", "< 100"),
    ("Open the 16000 map with its same-named base of 1,000,000 points (ms)",
     ("bench_mapview", "BM_OpenMapWithBase/1000000"), None, "-", "< 1500"),
    ("Grid attached to 1,000,000 points (ms)",
     ("bench_pointgrid", "BM_AttachGrid/1000000"), None, "-", "< 100"),
    ("Grid follows a cursor move and reads a screenful, 1,000,000 points (us)",
     ("bench_pointgrid", "BM_FollowCursorAndReadScreen/1000000", None, "us"), None, "-",
     "< 100 ms"),
    ("Start-up to the main window shown, in-process (ms)",
     ("bench_startup", "BM_StartUpToMainWindowShown/iterations:20"), None, "-", "< 100"),
    ("Resident growth, 1,000,000 points loaded (MiB)",
     ("bench_memory", "BM_ResidentWithPoints/1000000/iterations:1", "resident_growth_MB"),
     None, "-", "< 250"),
    ("Resident growth, 16000 x 16000 map open (MiB)",
     ("bench_memory", "BM_ResidentWithMap/16000/iterations:1", "resident_growth_MB"),
     ("fixed", 16000 * 16000 * 4 / 2**20),
     "its pixels at 4 bytes each", "-"),
]


def load(results):
    runs = {}
    for path in sorted(pathlib.Path(results).glob("bench_*.json")):
        try:
            data = json.loads(path.read_text())
        except (OSError, ValueError):
            continue
        runs[path.stem] = {b["name"]: b for b in data.get("benchmarks", [])}
    return runs


def figure(runs, spec):
    if spec is None:
        return None
    if spec[0] == "fixed":
        return spec[1]
    binary, name = spec[0], spec[1]
    counter = spec[2] if len(spec) > 2 else None
    unit = spec[3] if len(spec) > 3 else "ms"
    run = runs.get(binary, {}).get(name)
    if run is None or run.get("error_occurred"):
        return None
    if counter:
        return run.get(counter)
    return run["real_time"] * UNITS[run["time_unit"]] / UNITS[unit]


def show(value):
    if value is None:
        return "-"
    if value >= 100:
        return f"{value:.0f}"
    if value >= 10:
        return f"{value:.1f}"
    return f"{value:.2f}"


def main():
    runs = load(sys.argv[1] if len(sys.argv) > 1 else "build-bench/results")
    print("| What | Ours | Peer | Peer's figure | Ratio ours/peer | Goal |")
    print("|---|---:|---|---:|---:|---|")
    for what, ours_spec, peer_spec, peer, goal in ROWS:
        ours = figure(runs, ours_spec)
        theirs = figure(runs, peer_spec)
        ratio = f"{ours / theirs:.2f}" if ours is not None and theirs else "-"
        print(f"| {what} | {show(ours)} | {peer} | {show(theirs)} | {ratio} | {goal} |")


if __name__ == "__main__":
    main()
