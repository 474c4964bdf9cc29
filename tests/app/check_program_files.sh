#!/usr/bin/env bash
# Reads the AVI file that tevlin.exe wrote in its end-to-end run with the native ffprobe and
# ffmpeg: stream, pixel format, size, rate and frame count as the run expected, and every
# pixel, alpha included, within 1 of what the portable converter writes for the same movie.
set -u
dir=$1/program
native=$2
avi=$dir/demo.swf.avi
movie=$dir/demo.swf
if [ ! -f "$dir/demo.expect" ]; then
  echo "no $dir/demo.expect: the program's end-to-end run wrote nothing"; exit 1
fi
if [ ! -x "$native/tevlin" ] || [ ! -x "$native/tests/tevlin_compare_frames" ]; then
  echo "the native build is missing in $native (make native builds it)"; exit 1
fi
declare -A want=()
while IFS='=' read -r k v; do want[$k]=$v; done < "$dir/demo.expect"
probe=$(ffprobe -v error -count_packets -select_streams v:0 \
    -show_entries stream=codec_type,pix_fmt,width,height,r_frame_rate,nb_read_packets \
    -of default=noprint_wrappers=1 "$avi" 2>&1)
failed=0
got() { printf '%s\n' "$probe" | sed -n "s/^$1=//p"; }
check() {
  if [ "$(got "$1")" != "$2" ]; then echo "FAIL: $1 is '$(got "$1")', expected '$2'"; failed=1; fi
}
check codec_type video
check pix_fmt bgra
check width "${want[width]}"
check height "${want[height]}"
check r_frame_rate "${want[rate]}"
check nb_read_packets "${want[frames]}"
# The Windows program writes premultiplied frames; the converter is asked for the same.
"$native/tevlin" convert "$movie" -o "$dir/reference.avi" --alpha premultiplied -y --quiet || { echo "FAIL: tevlin convert"; exit 1; }
decode() { ffmpeg -nostdin -v error -i "$1" -fps_mode passthrough -f rawvideo -pix_fmt bgra "$2" -y; }
decode "$avi" "$dir/program.raw" && decode "$dir/reference.avi" "$dir/reference.raw" || { echo "FAIL: decoding"; exit 1; }
if ! "$native/tests/tevlin_compare_frames" "$dir/program.raw" "$dir/reference.raw" 1; then
  echo "FAIL: tevlin.exe's frames are not within 1 of tevlin convert's"; failed=1
fi
rm -f "$dir/program.raw" "$dir/reference.raw"
[ $failed -eq 0 ] && echo "ok: ${want[frames]} frames at ${want[rate]}, within 1 of the converter's"
exit $failed
