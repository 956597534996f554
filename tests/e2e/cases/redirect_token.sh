# A relative redirect to a URL with a token in its query is followed to the end, and no log line carries the token.
#
# The server answers every request for the installer with 302 and the
# relative Location "brisklane-pathwick.exe?token=SECRET-..." (a signed URL
# as a content network gives one). /S resolves it against the request's URL,
# takes the size and the five ranges from there, and installs; the log names
# the hosts it went to, never the query.

start_server --faults 'redirect=brisklane-pathwick.exe%3Ftoken%3DSECRET-7f3a%26redirect%3D'
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
run_silent redirect 0
local signed ranges
signed=$(curl -s "http://127.0.0.1:$port/requests" | grep -F '"path": "/files/brisklane-pathwick.exe?token=SECRET-7f3a')
ranges=$(grep -o '"range": "bytes=[0-9-]*"' <<<"$signed" | sort -u | wc -l)
check "the five ranges went to the redirect's target ($ranges)" [ "$ranges" = 5 ]
check "installed" test -f "$progfiles/Brisklane/Brisklane Pathwick/Pathwick.exe"
check "the log names the redirect's host" log_has "redirect 1 to https://localhost:$port"
check "no log line carries the token ($(grep -ac SECRET "$logfile") do)" sh -c "! grep -aq SECRET '$logfile'"
