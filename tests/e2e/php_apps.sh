#!/usr/bin/env bash
# Black-box test of real PHP applications through the Linux program, with the
# php.ini it writes and the system's php-cgi: Debian's DokuWiki copied into the
# site (installer, login, an edit under the user's name, its stylesheet, its
# front page), the environment a page gets, and byte ranges and a resumed
# download through the site's own file.php.
# Usage: php_apps.sh <ostrel>   (in a network namespace of its own)
set -u
program=$1
here=$(dirname "$0")
repo=$(cd "$here/../.." && pwd)
. "$here/lib.sh"
ip link set lo up 2>/dev/null

if [ ! -d /usr/share/dokuwiki ]; then
  fail "Debian's dokuwiki package is missing (scripts/setup.sh installs it)"; finish; exit 1
fi

app=$(mktemp -d /tmp/ostrel-apps.XXXXXX)
trap '[ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$app"' EXIT
make_app "$app" "$program"
link_php "$app"
cp -r "$repo/www/." "$app/www/"
cp -r "$repo/site_inc" "$app/site_inc"
mkdir -p "$app/share" "$app/home"
head -c 3000000 /dev/urandom > "$app/share/big.bin"
printf '%s\r\n' "$app/share" > "$app/www/dirs.ini"
cat > "$app/www/env.php" <<'PHP'
<?php header('Content-Type: text/plain');
foreach (getenv() as $k => $v) echo $k, '=', $v, "\n";
echo 'PHP_SELF=', $_SERVER['PHP_SELF'], "\n";
PHP

# DokuWiki as a user would copy it: the package's tree with its links followed,
# and its configuration and data beside it instead of in the system's folders.
wiki=$app/www/wiki
cp -rL /usr/share/dokuwiki "$wiki"
cp "$wiki/inc/preload.php.dist" "$wiki/inc/preload.php"
mkdir -p "$wiki/conf"
for f in /etc/dokuwiki/*; do [ -e "$f" ] && cp -L "$f" "$wiki/conf/"; done
rm -f "$wiki/conf/local.php" "$wiki/conf/users.auth.php" "$wiki/conf/acl.auth.php"
cp -r /var/lib/dokuwiki/data "$wiki/data"
sed -i "s|^\$conf\['savedir'\].*|\$conf['savedir'] = './data';|" "$wiki/conf/dokuwiki.php"

(cd "$app" && exec env HOME="$app/home" XDG_RUNTIME_DIR="$app" ./"$(basename "$program")" > "$app/out.txt" 2>&1) &
pid=$!
wait_port 60001 || { cat "$app/out.txt"; fail "server did not start"; finish; exit 1; }
url=http://127.0.0.1:60001
jar=$app/cookies.txt

# --- the environment of a page ----------------------------------------------
env=$(curl -s -b 'session=abc' -H 'Referer: http://127.0.0.1:60001/from' -H 'Range: bytes=0-1' \
        -H 'Proxy: http://evil.test:3128' -H 'Authorization: Basic eDp5' -d 'x=1' "$url/env.php?q=%41")
for line in 'HTTP_COOKIE=session=abc' "DOCUMENT_ROOT=$app/www" 'REQUEST_URI=/env.php?q=%41' \
            'HTTP_REFERER=http://127.0.0.1:60001/from' 'HTTP_RANGE=bytes=0-1' 'SERVER_ADDR=127.0.0.1' \
            'REQUEST_METHOD=POST' 'PHP_SELF=/env.php' 'SCRIPT_NAME=/env.php'; do
  grep -qxF "$line" <<<"$env" && ok "page sees $line" || fail "page lacks $line"
done
for name in HTTP_PROXY HTTP_AUTHORIZATION; do
  grep -q "^$name=" <<<"$env" && fail "page sees $name" || ok "page never sees $name"
done

# --- ranges and resumed downloads through the site -------------------------
file="$url/file.php?d=0&p=big.bin"
code=$(curl -s -r 1000-1999 -o "$app/part" -w '%{http_code}' "$file")
check "a byte range gives 206" 206 "$code"
cmp -s "$app/part" <(tail -c +1001 "$app/share/big.bin" | head -c 1000) && ok "the range's bytes" || fail "the range's bytes differ"
curl -s "$file" | head -c 1234567 > "$app/resumed"  # the reader stops: the download breaks off
curl -s -C - -o "$app/resumed" "$file"
check "curl -C - resumes to the same sha256" "$(sha256sum < "$app/share/big.bin")" "$(sha256sum < "$app/resumed")"

# --- DokuWiki -----------------------------------------------------------------
page=$(curl -s "$url/wiki/install.php")
grep -q 'name="d\[superuser\]"' <<<"$page" && ok "installer shows its form" || fail "installer form: $(head -c 300 <<<"$page")"
page=$(curl -s -d 'l=en' --data-urlencode 'd[title]=Gateway Wiki' -d 'd[acl]=on' -d 'd[superuser]=admin' \
         --data-urlencode 'd[fullname]=Ada Admin' -d 'd[email]=admin@example.test' -d 'd[password]=secret123' \
         -d 'd[confirm]=secret123' -d 'd[policy]=0' -d 'd[license]=cc-by-sa' -d 'submit=1' "$url/wiki/install.php")
grep -q 'finished successfully' <<<"$page" && ok "installer completes by POST" || fail "installer: $(grep -o '<div class="error">.*' <<<"$page" | head -3)"
grep -q '^admin:' "$wiki/conf/users.auth.php" 2>/dev/null && ok "installer wrote the user" || fail "no user written"

sectok() { grep -o 'name="sectok" value="[0-9a-f]*"' | head -1 | sed 's/.*value="//; s/"$//'; }
field() { grep -o "name=\"$1\" value=\"[^\"]*\"" | head -1 | sed 's/.*value="//; s/"$//'; }
tok=$(curl -s -c "$jar" -b "$jar" "$url/wiki/doku.php?id=start&do=login" | sectok)
curl -s -c "$jar" -b "$jar" -d 'id=start' -d 'do=login' -d "sectok=$tok" -d 'u=admin' -d 'p=secret123' \
  "$url/wiki/doku.php" > /dev/null
page=$(curl -s -c "$jar" -b "$jar" "$url/wiki/doku.php?id=start")
grep -q 'Logged in as' <<<"$page" && ok "a login by POST keeps its session" || fail "not logged in after the login POST"

form=$(curl -s -c "$jar" -b "$jar" "$url/wiki/doku.php?id=gateway:edited&do=edit")
curl -s -c "$jar" -b "$jar" -d 'id=gateway:edited' -d 'do[save]=1' -d "sectok=$(sectok <<<"$form")" \
  -d "changecheck=$(field changecheck <<<"$form")" -d "date=$(field date <<<"$form")" -d 'prefix=.' -d 'suffix=' \
  --data-urlencode 'wikitext=Edited through the gateway.' -d 'summary=by the admin' "$url/wiki/doku.php" > /dev/null
grep -q 'Edited through the gateway' "$wiki/data/pages/gateway/edited.txt" 2>/dev/null && ok "the edit is saved" ||
  fail "the edit was not saved"
changes=$(cat "$wiki/data/meta/gateway/edited.changes" 2>/dev/null)
[ "$(cut -f5 <<<"$changes" | tail -1)" = admin ] && ok "the edit is recorded under the user's name" ||
  fail "the edit is recorded as [$(cut -f5 <<<"$changes" | tail -1)]"

css=$(curl -s -D "$app/css.head" "$url/wiki/lib/exe/css.php")
grep -qi '^Content-Type: text/css' "$app/css.head" && [ ${#css} -gt 10000 ] && grep -q '\.dokuwiki' <<<"$css" &&
  ok "lib/exe/css.php returns the stylesheet (${#css} bytes)" || fail "stylesheet: $(head -3 "$app/css.head") ${#css} bytes"

: > "$app/php/temp/php_errors.log"
where=$(curl -s -o /dev/null -w '%{http_code} %{redirect_url}' "$url/wiki/")
check "/wiki/ sends the visitor on to the wiki" "302 $url/wiki/doku.php?id=start" "$where"
code=$(curl -s -L -o "$app/front" -w '%{http_code}' "$url/wiki/")
check "/wiki/ answers" 200 "$code"
grep -q 'Gateway Wiki' "$app/front" && ok "/wiki/ shows the wiki" || fail "/wiki/: $(head -c 300 "$app/front")"
warnings=$(grep -i -e 'warning' -e 'undefined' "$app/front" "$app/php/temp/php_errors.log")
[ -z "$warnings" ] && ok "/wiki/ without a PHP warning" || fail "warnings: $warnings"

kill -TERM "$pid"; wait "$pid"; pid=
finish
