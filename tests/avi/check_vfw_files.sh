#!/usr/bin/env bash
# Reads the AVI files that the Windows tests wrote with the platform's AVI services, using
# the native ffprobe and ffmpeg: stream, pixel format, size, rate, frame count and the exact
# decoded bytes must match what each test left in NAME.expect and NAME.raw.
set -u
dir=$1
shopt -s nullglob
expects=("$dir"/*.expect)
if [ ${#expects[@]} -eq 0 ]; then
  echo "no .expect files in $dir: the Windows writer tests wrote nothing"; exit 1
fi
failed=0
for expect in "${expects[@]}"; do
  name=${expect%.expect}
  avi=$name.avi
  declare -A want=()
  while IFS='=' read -r k v; do want[$k]=$v; done < "$expect"
  probe=$(ffprobe -v error -count_packets -select_streams v:0 \
      -show_entries stream=codec_type,pix_fmt,width,height,r_frame_rate,nb_read_packets \
      -of default=noprint_wrappers=1 "$avi" 2>&1)
  got() { printf '%s\n' "$probe" | sed -n "s/^$1=//p"; }
  check() {
    if [ "$(got "$1")" != "$2" ]; then
      echo "FAIL $(basename "$avi"): $1 is '$(got "$1")', expected '$2'"; failed=1
    fi
  }
  check codec_type video
  check pix_fmt bgra
  check width "${want[width]}"
  check height "${want[height]}"
  check r_frame_rate "${want[rate]}"
  check nb_read_packets "${want[frames]}"
  if [ -f "$name.raw" ]; then
    if ! ffmpeg -nostdin -v error -i "$avi" -fps_mode passthrough -f rawvideo -pix_fmt bgra - 2>/dev/null \
        | cmp -s - "$name.raw"; then
      echo "FAIL $(basename "$avi"): decoded frames differ from the appended bytes"; failed=1
    fi
  fi
  [ $failed -eq 0 ] && echo "ok $(basename "$avi"): ${want[frames]} frames at ${want[rate]}"
  unset want
done
exit $failed
