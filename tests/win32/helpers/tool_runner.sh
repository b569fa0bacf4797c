#!/bin/sh
# The Linux half of the tool stand-in (tool_stand_in.cc), started by it under Wine:
#   sh tool_runner.sh REQUEST_DIR
# REQUEST_DIR/request.sh changes to the working directory, names the cross tool and sets the
# arguments. The tool's standard output and standard error go to REQUEST_DIR/out and err; its
# exit status is renamed into place as REQUEST_DIR/status once it has ended, which the
# stand-in waits for.
dir=$1
PATH=/usr/bin:/bin:$PATH
export PATH
(. "$dir/request.sh" && exec "$tool" "$@") > "$dir/out" 2> "$dir/err" < /dev/null
echo $? > "$dir/status.part"
mv "$dir/status.part" "$dir/status"
