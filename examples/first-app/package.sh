#!/usr/bin/env bash
# Packages examples/first-app, from the root of a Folio checkout once `make build` has
# run: first-app.exe to ship, and first-app-preview.exe to look at it on Linux.
set -euo pipefail
pack=build/host/tools/folio-pack
mkdir -p build/demo

# The executable to ship: the 32-bit runtime with the app appended.
$pack build examples/first-app --runtime build/win32/runtime/FolioRuntime.exe -o build/demo/first-app.exe
$pack verify build/demo/first-app.exe
$pack list build/demo/first-app.exe

# A preview on Linux: the 64-bit runtime with the stand-in browser as its loader, run
# under Wine with Chromium behind it. Only for looking at: never ship this one.
$pack build examples/first-app --runtime build/win64/runtime/FolioRuntime.exe \
  --loader build/win64/tests/wine/standin/WebView2LoaderWin32.dll -o build/demo/first-app-preview.exe
scripts/preview --out build/demo/first-app.png build/demo/first-app-preview.exe
