#!/usr/bin/env bash
# FTP upload speed of T_FTP beside curl -T and Python's ftplib, in the same
# run, against pyftpdlib and vsftpd on 127.0.0.1. Run after a build:
#     bash bench/ftp_upload.sh [build] [runs] [sets, e.g. 20MB,500x4KB] [servers, e.g. vsftpd-TLS]
set -euo pipefail
cd "$(dirname "$0")/.."
exec /usr/bin/python3 bench/ftp_upload.py "${1:-build}" "${2:-5}" ${3:+"$3"} ${4:+"$4"}
