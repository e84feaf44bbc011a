#!/usr/bin/env bash
# The desktop entry, the AppStream metadata and the shell completion, checked
# from the source tree. Exit 77 (skipped) when a checking tool is missing.
set -euo pipefail
src=$1
build=$2
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
desktop-file-validate "$src/packaging/desktop/com.tarnwick.ZyrSecurityManager.desktop"
appstreamcli validate --no-net --explain "$build/packaging/com.tarnwick.ZyrSecurityManager.metainfo.xml"
bash -n "$src/packaging/completion/zyrsec.bash"
for script in "$build"/packaging/control/*/post* "$build"/packaging/control/*/prerm; do
  sh -n "$script"
done
