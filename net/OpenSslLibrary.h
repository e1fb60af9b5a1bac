#pragma once

// OpenSSL is loaded at the first encrypted connection, not when the program
// starts: a tray that only checks plain-text accounts never maps libssl and
// libcrypto (about 1.7 MiB resident). The OpenSSL headers are all included
// here, and after them every OpenSSL function the program calls is a macro
// that calls it through a pointer looked up in the library once per place
// of call. Include this header after any other OpenSSL header; a function
// called without a line below fails to link, as the program does not link
// OpenSSL itself.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/opensslv.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include "core/SharedLibrary.h"

namespace quorvel::openssl {

// The address of the OpenSSL function Name, from libssl or the libcrypto it
// loads; raises quorvel::Exception when the library or the function is
// missing.
void* LibraryFunction(const char* Name);

}  // namespace quorvel::openssl

#define QUORVEL_OPENSSL(Name) QUORVEL_LIBRARY_CALL(::quorvel::openssl::LibraryFunction, Name)

// clang-format off
#define ASN1_TIME_to_tm(...) QUORVEL_OPENSSL(ASN1_TIME_to_tm)(__VA_ARGS__)
#define BIO_clear_flags(...) QUORVEL_OPENSSL(BIO_clear_flags)(__VA_ARGS__)
#define BIO_ctrl(...) QUORVEL_OPENSSL(BIO_ctrl)(__VA_ARGS__)
#define BIO_free(...) QUORVEL_OPENSSL(BIO_free)(__VA_ARGS__)
#define BIO_get_data(...) QUORVEL_OPENSSL(BIO_get_data)(__VA_ARGS__)
#define BIO_get_new_index(...) QUORVEL_OPENSSL(BIO_get_new_index)(__VA_ARGS__)
#define BIO_meth_new(...) QUORVEL_OPENSSL(BIO_meth_new)(__VA_ARGS__)
#define BIO_meth_set_create(...) QUORVEL_OPENSSL(BIO_meth_set_create)(__VA_ARGS__)
#define BIO_meth_set_ctrl(...) QUORVEL_OPENSSL(BIO_meth_set_ctrl)(__VA_ARGS__)
#define BIO_meth_set_read(...) QUORVEL_OPENSSL(BIO_meth_set_read)(__VA_ARGS__)
#define BIO_meth_set_write(...) QUORVEL_OPENSSL(BIO_meth_set_write)(__VA_ARGS__)
#define BIO_new(...) QUORVEL_OPENSSL(BIO_new)(__VA_ARGS__)
#define BIO_new_file(...) QUORVEL_OPENSSL(BIO_new_file)(__VA_ARGS__)
#define BIO_s_mem(...) QUORVEL_OPENSSL(BIO_s_mem)(__VA_ARGS__)
#define BIO_set_data(...) QUORVEL_OPENSSL(BIO_set_data)(__VA_ARGS__)
#define BIO_set_flags(...) QUORVEL_OPENSSL(BIO_set_flags)(__VA_ARGS__)
#define BIO_set_init(...) QUORVEL_OPENSSL(BIO_set_init)(__VA_ARGS__)
#define ERR_clear_error(...) QUORVEL_OPENSSL(ERR_clear_error)(__VA_ARGS__)
#define ERR_error_string_n(...) QUORVEL_OPENSSL(ERR_error_string_n)(__VA_ARGS__)
#define ERR_peek_last_error(...) QUORVEL_OPENSSL(ERR_peek_last_error)(__VA_ARGS__)
#define EVP_Digest(...) QUORVEL_OPENSSL(EVP_Digest)(__VA_ARGS__)
#define EVP_sha256(...) QUORVEL_OPENSSL(EVP_sha256)(__VA_ARGS__)
#define PEM_read_bio_X509_AUX(...) QUORVEL_OPENSSL(PEM_read_bio_X509_AUX)(__VA_ARGS__)
#define RAND_bytes(...) QUORVEL_OPENSSL(RAND_bytes)(__VA_ARGS__)
#define SSL_CTX_ctrl(...) QUORVEL_OPENSSL(SSL_CTX_ctrl)(__VA_ARGS__)
#define SSL_CTX_free(...) QUORVEL_OPENSSL(SSL_CTX_free)(__VA_ARGS__)
#define SSL_CTX_get_cert_store(...) QUORVEL_OPENSSL(SSL_CTX_get_cert_store)(__VA_ARGS__)
#define SSL_CTX_load_verify_locations(...) QUORVEL_OPENSSL(SSL_CTX_load_verify_locations)(__VA_ARGS__)
#define SSL_CTX_new(...) QUORVEL_OPENSSL(SSL_CTX_new)(__VA_ARGS__)
#define SSL_CTX_sess_set_new_cb(...) QUORVEL_OPENSSL(SSL_CTX_sess_set_new_cb)(__VA_ARGS__)
#define SSL_CTX_set_cert_verify_callback(...) QUORVEL_OPENSSL(SSL_CTX_set_cert_verify_callback)(__VA_ARGS__)
#define SSL_CTX_set_verify(...) QUORVEL_OPENSSL(SSL_CTX_set_verify)(__VA_ARGS__)
#define SSL_SESSION_free(...) QUORVEL_OPENSSL(SSL_SESSION_free)(__VA_ARGS__)
#define SSL_SESSION_get0_peer(...) QUORVEL_OPENSSL(SSL_SESSION_get0_peer)(__VA_ARGS__)
#define SSL_SESSION_get_time(...) QUORVEL_OPENSSL(SSL_SESSION_get_time)(__VA_ARGS__)
#define SSL_SESSION_get_timeout(...) QUORVEL_OPENSSL(SSL_SESSION_get_timeout)(__VA_ARGS__)
#define SSL_SESSION_is_resumable(...) QUORVEL_OPENSSL(SSL_SESSION_is_resumable)(__VA_ARGS__)
#define SSL_SESSION_up_ref(...) QUORVEL_OPENSSL(SSL_SESSION_up_ref)(__VA_ARGS__)
#define SSL_ctrl(...) QUORVEL_OPENSSL(SSL_ctrl)(__VA_ARGS__)
#define SSL_do_handshake(...) QUORVEL_OPENSSL(SSL_do_handshake)(__VA_ARGS__)
#define SSL_free(...) QUORVEL_OPENSSL(SSL_free)(__VA_ARGS__)
#define SSL_get0_peer_certificate(...) QUORVEL_OPENSSL(SSL_get0_peer_certificate)(__VA_ARGS__)
#define SSL_get_error(...) QUORVEL_OPENSSL(SSL_get_error)(__VA_ARGS__)
#define SSL_get_ex_data(...) QUORVEL_OPENSSL(SSL_get_ex_data)(__VA_ARGS__)
#define SSL_get_ex_data_X509_STORE_CTX_idx(...) QUORVEL_OPENSSL(SSL_get_ex_data_X509_STORE_CTX_idx)(__VA_ARGS__)
#define SSL_get_session(...) QUORVEL_OPENSSL(SSL_get_session)(__VA_ARGS__)
#define SSL_get_verify_result(...) QUORVEL_OPENSSL(SSL_get_verify_result)(__VA_ARGS__)
#define SSL_new(...) QUORVEL_OPENSSL(SSL_new)(__VA_ARGS__)
#define SSL_pending(...) QUORVEL_OPENSSL(SSL_pending)(__VA_ARGS__)
#define SSL_read_ex(...) QUORVEL_OPENSSL(SSL_read_ex)(__VA_ARGS__)
#define SSL_session_reused(...) QUORVEL_OPENSSL(SSL_session_reused)(__VA_ARGS__)
#define SSL_set1_host(...) QUORVEL_OPENSSL(SSL_set1_host)(__VA_ARGS__)
#define SSL_set_bio(...) QUORVEL_OPENSSL(SSL_set_bio)(__VA_ARGS__)
#define SSL_set_connect_state(...) QUORVEL_OPENSSL(SSL_set_connect_state)(__VA_ARGS__)
#define SSL_set_ex_data(...) QUORVEL_OPENSSL(SSL_set_ex_data)(__VA_ARGS__)
#define SSL_set_hostflags(...) QUORVEL_OPENSSL(SSL_set_hostflags)(__VA_ARGS__)
#define SSL_set_session(...) QUORVEL_OPENSSL(SSL_set_session)(__VA_ARGS__)
#define SSL_shutdown(...) QUORVEL_OPENSSL(SSL_shutdown)(__VA_ARGS__)
#define SSL_version(...) QUORVEL_OPENSSL(SSL_version)(__VA_ARGS__)
#define SSL_write_ex(...) QUORVEL_OPENSSL(SSL_write_ex)(__VA_ARGS__)
#define TLS_client_method(...) QUORVEL_OPENSSL(TLS_client_method)(__VA_ARGS__)
#define X509_LOOKUP_ctrl(...) QUORVEL_OPENSSL(X509_LOOKUP_ctrl)(__VA_ARGS__)
#define X509_LOOKUP_hash_dir(...) QUORVEL_OPENSSL(X509_LOOKUP_hash_dir)(__VA_ARGS__)
#define X509_NAME_print_ex(...) QUORVEL_OPENSSL(X509_NAME_print_ex)(__VA_ARGS__)
#define X509_STORE_CTX_free(...) QUORVEL_OPENSSL(X509_STORE_CTX_free)(__VA_ARGS__)
#define X509_STORE_CTX_get0_cert(...) QUORVEL_OPENSSL(X509_STORE_CTX_get0_cert)(__VA_ARGS__)
#define X509_STORE_CTX_get0_param(...) QUORVEL_OPENSSL(X509_STORE_CTX_get0_param)(__VA_ARGS__)
#define X509_STORE_CTX_get0_store(...) QUORVEL_OPENSSL(X509_STORE_CTX_get0_store)(__VA_ARGS__)
#define X509_STORE_CTX_get0_untrusted(...) QUORVEL_OPENSSL(X509_STORE_CTX_get0_untrusted)(__VA_ARGS__)
#define X509_STORE_CTX_get_error(...) QUORVEL_OPENSSL(X509_STORE_CTX_get_error)(__VA_ARGS__)
#define X509_STORE_CTX_get_ex_data(...) QUORVEL_OPENSSL(X509_STORE_CTX_get_ex_data)(__VA_ARGS__)
#define X509_STORE_CTX_init(...) QUORVEL_OPENSSL(X509_STORE_CTX_init)(__VA_ARGS__)
#define X509_STORE_CTX_new(...) QUORVEL_OPENSSL(X509_STORE_CTX_new)(__VA_ARGS__)
#define X509_STORE_CTX_set_default(...) QUORVEL_OPENSSL(X509_STORE_CTX_set_default)(__VA_ARGS__)
#define X509_STORE_CTX_set_error(...) QUORVEL_OPENSSL(X509_STORE_CTX_set_error)(__VA_ARGS__)
#define X509_STORE_CTX_set_ex_data(...) QUORVEL_OPENSSL(X509_STORE_CTX_set_ex_data)(__VA_ARGS__)
#define X509_STORE_add_cert(...) QUORVEL_OPENSSL(X509_STORE_add_cert)(__VA_ARGS__)
#define X509_STORE_add_lookup(...) QUORVEL_OPENSSL(X509_STORE_add_lookup)(__VA_ARGS__)
#define X509_VERIFY_PARAM_set1(...) QUORVEL_OPENSSL(X509_VERIFY_PARAM_set1)(__VA_ARGS__)
#define X509_cmp_current_time(...) QUORVEL_OPENSSL(X509_cmp_current_time)(__VA_ARGS__)
#define X509_digest(...) QUORVEL_OPENSSL(X509_digest)(__VA_ARGS__)
#define X509_free(...) QUORVEL_OPENSSL(X509_free)(__VA_ARGS__)
#define X509_get0_notAfter(...) QUORVEL_OPENSSL(X509_get0_notAfter)(__VA_ARGS__)
#define X509_get0_notBefore(...) QUORVEL_OPENSSL(X509_get0_notBefore)(__VA_ARGS__)
#define X509_get_default_cert_file(...) QUORVEL_OPENSSL(X509_get_default_cert_file)(__VA_ARGS__)
#define X509_get_default_cert_file_env(...) QUORVEL_OPENSSL(X509_get_default_cert_file_env)(__VA_ARGS__)
#define X509_get_issuer_name(...) QUORVEL_OPENSSL(X509_get_issuer_name)(__VA_ARGS__)
#define X509_get_subject_name(...) QUORVEL_OPENSSL(X509_get_subject_name)(__VA_ARGS__)
#define X509_verify_cert(...) QUORVEL_OPENSSL(X509_verify_cert)(__VA_ARGS__)
// clang-format on
