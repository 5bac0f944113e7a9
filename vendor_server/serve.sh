#!/usr/bin/env bash
# Serves a SITE folder (as "cvztool release" lays it out) with nginx on
# 127.0.0.1:PORT, in the foreground, as the current user; started by root, its
# workers run as the site's owner, or as "nobody" for a site that root owns.
# RUNDIR receives the configuration, pid, logs and temporary files;
# RUNDIR/reports.log is the record of install, update and removal reports,
# RUNDIR/access.log every request (reports without their query) with the TLS
# protocol it came over.
#
#   serve.sh [--tls CERT KEY] SITE PORT RUNDIR
#                                 runs until Ctrl-C or SIGTERM (nginx's fast stop);
#                                 with --tls, HTTPS only, with that certificate
#                                 chain (PEM) and its private key
#   serve.sh stop RUNDIR          stops one started elsewhere, after open requests end
set -euo pipefail

usage() {
    echo "usage: serve.sh [--tls CERT KEY] SITE PORT RUNDIR | serve.sh stop RUNDIR" >&2
    exit 64
}

if [[ $# -eq 2 && $1 == stop ]]; then
    pid=$(cat "$2/nginx.pid" 2>/dev/null) || { echo "serve.sh: no nginx runs from $2" >&2; exit 1; }
    exec kill -QUIT "$pid"
fi
certificate="" key=""
if [[ $# -ge 3 && $1 == --tls ]]; then
    for file in "$2" "$3"; do
        [[ -f $file && -r $file ]] || { echo "serve.sh: $file is not a readable file" >&2; exit 64; }
    done
    certificate=$(realpath "$2") key=$(realpath "$3")
    shift 3
fi
[[ $# -eq 3 ]] || usage
[[ -d $1 ]] || { echo "serve.sh: $1 is not a folder" >&2; exit 64; }
[[ $2 =~ ^[0-9]+$ ]] && (($2 > 0 && $2 < 65536)) || { echo "serve.sh: $2 is not a port" >&2; exit 64; }

site=$(realpath "$1")
mkdir -p "$3"
run=$(realpath "$3")
paths=("$site" "$run")
[[ -z $certificate ]] || paths+=("$certificate" "$key")
for path in "${paths[@]}"; do
    # The configuration quotes paths in double quotes and knows no escape for these.
    if [[ $path == *[\"\\\$\;{}]* ]]; then
        echo "serve.sh: nginx cannot be given the path $path" >&2
        exit 64
    fi
done

template="$(dirname "$(realpath "$0")")/nginx.conf.in"
config=$(<"$template")
shopt -u patsub_replacement 2>/dev/null || true  # "&" in a path stays "&"
config=${config//@SITE@/$site}
config=${config//@RUN@/$run}
config=${config//@PORT@/$2}
if [[ -n $certificate ]]; then
    # nginx reads both as it starts, before its workers give up root's rights.
    config=${config//@TLS_LISTEN@/ ssl}
    config=${config//@TLS_CERTIFICATE@/ssl_certificate \"$certificate\"; ssl_certificate_key \"$key\";}
else
    config=${config//@TLS_LISTEN@/}
    config=${config//@TLS_CERTIFICATE@/}
fi
if (($(id -u) == 0)); then
    # Workers answer the internet: they get no more than reading the site needs,
    # as its owner, or as "nobody" for a site that root owns.
    owner=$(stat -c %u "$site")
    if ((owner != 0)) && worker=$(id -un "$owner" 2>/dev/null); then
        worker_group=$(id -gn "$owner")
    else
        worker=nobody worker_group=nogroup
    fi
    # nginx would start and answer every request with 403; say why instead.
    if ! setpriv --reuid="$worker" --regid="$worker_group" --init-groups test -r "$site" -a -x "$site"; then
        echo "serve.sh: nginx's workers run as $worker, who cannot read $site: make it and the folders above it readable by $worker, or start serve.sh as the site's owner" >&2
        exit 64
    fi
    config=${config//@USER_DIRECTIVE@/user $worker $worker_group;}
else
    config=${config//@USER_DIRECTIVE@/}  # nginx warns about a user directive it cannot apply
fi
printf '%s\n' "$config" >"$run/nginx.conf"

# -e: the built-in error log is opened before the configuration is read.
exec nginx -p "$run" -c "$run/nginx.conf" -e "$run/error.log"
