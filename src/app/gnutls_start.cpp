// Linked into zubo only with libcurl's libraries from their archives.
//
// GnuTLS comes in under libcurl (librtmp's RTMPE and LDAP's TLS, neither of
// which zubo ever asks for; both start GnuTLS themselves before they use it).
// Linked in, it would start itself at every start of zubo, as a shared
// library does when it is loaded: a quarter of the start's work, for a
// library zubo never calls. GnuTLS's own switch turns that off.
#include <gnutls/gnutls.h>

extern "C" {
GNUTLS_SKIP_GLOBAL_INIT
}
