# Sourced by read.sh and draw.sh: the benchmark recordings in $data, made once
# by make_recording.py and kept (remove $data to make them again). "day" is
# one file of 40 MiB, the size at which the recorder continues in a new file
# (890,000 rows with four decimals); "week" is a week at 5 Hz, one file a day.
day_rows=890000
week_rows=3024000
if [ ! -f "$data/done-$day_rows" ]; then
    rm -rf "$data"
    python3 bench/review/make_recording.py "$data/day" --rows "$day_rows" --rate 5 --decimals 4 \
        --file-mib 64 >/dev/null
    python3 bench/review/make_recording.py "$data/week" --rows "$week_rows" --rate 5 \
        --file-mib 18.7 >/dev/null
    touch "$data/done-$day_rows"
fi
