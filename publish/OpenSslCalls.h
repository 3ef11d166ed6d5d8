#pragma once

// OpenSSL's functions, called through a table filled when the first TLS
// connection is made or the first file of a publication is hashed: the
// library is not loaded when the program starts.
// Included after OpenSSL's headers; each name below then stands for its
// entry in the table, so the calls (and those of OpenSSL's macros) read as
// plain OpenSSL.

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "LateLibrary.h"

#include <QString>

#define ZK_OPENSSL_FUNCTIONS(X)                                                                                         \
    X(BIO_clear_flags) X(BIO_get_data) X(BIO_get_new_index) X(BIO_meth_new) X(BIO_meth_set_create)                      \
    X(BIO_meth_set_ctrl) X(BIO_meth_set_read) X(BIO_meth_set_write) X(BIO_new) X(BIO_set_data) X(BIO_set_flags)         \
    X(BIO_set_init) X(BIO_test_flags) X(ERR_clear_error) X(ERR_get_error) X(EVP_DigestFinal_ex) X(EVP_DigestInit_ex)    \
    X(EVP_DigestUpdate) X(EVP_MD_CTX_free) X(EVP_MD_CTX_new) X(EVP_sha256) X(SSL_CIPHER_get_name) X(SSL_CTX_ctrl)       \
    X(SSL_CTX_new) X(SSL_CTX_set_default_verify_paths) X(SSL_CTX_set_verify) X(SSL_SESSION_free) X(SSL_ctrl)            \
    X(SSL_do_handshake) X(SSL_free) X(SSL_get0_param) X(SSL_get1_peer_certificate) X(SSL_get1_session)                  \
    X(SSL_get_current_cipher) X(SSL_get_error) X(SSL_get_verify_result) X(SSL_get_version) X(SSL_is_init_finished)      \
    X(SSL_new) X(SSL_peek) X(SSL_pending) X(SSL_read) X(SSL_session_reused) X(SSL_set1_host) X(SSL_set_bio)             \
    X(SSL_set_connect_state) X(SSL_set_session) X(SSL_shutdown) X(SSL_write) X(TLS_client_method)                       \
    X(X509_VERIFY_PARAM_set1_ip_asc) X(X509_digest) X(X509_free) X(X509_verify_cert_error_string)

namespace zk::net {

struct OpenSsl {
    ZK_OPENSSL_FUNCTIONS(ZK_LATE_SLOT)
    QString problem; // empty once every function is there
};

// Opens libssl (and with it libcrypto) on the first call.
const OpenSsl &openSsl();

} // namespace zk::net

#ifndef ZK_OPENSSL_TABLE_ITSELF
#define BIO_clear_flags (::zk::net::openSsl().BIO_clear_flags)
#define BIO_get_data (::zk::net::openSsl().BIO_get_data)
#define BIO_get_new_index (::zk::net::openSsl().BIO_get_new_index)
#define BIO_meth_new (::zk::net::openSsl().BIO_meth_new)
#define BIO_meth_set_create (::zk::net::openSsl().BIO_meth_set_create)
#define BIO_meth_set_ctrl (::zk::net::openSsl().BIO_meth_set_ctrl)
#define BIO_meth_set_read (::zk::net::openSsl().BIO_meth_set_read)
#define BIO_meth_set_write (::zk::net::openSsl().BIO_meth_set_write)
#define BIO_new (::zk::net::openSsl().BIO_new)
#define BIO_set_data (::zk::net::openSsl().BIO_set_data)
#define BIO_set_flags (::zk::net::openSsl().BIO_set_flags)
#define BIO_set_init (::zk::net::openSsl().BIO_set_init)
#define BIO_test_flags (::zk::net::openSsl().BIO_test_flags)
#define ERR_clear_error (::zk::net::openSsl().ERR_clear_error)
#define ERR_get_error (::zk::net::openSsl().ERR_get_error)
#define EVP_DigestFinal_ex (::zk::net::openSsl().EVP_DigestFinal_ex)
#define EVP_DigestInit_ex (::zk::net::openSsl().EVP_DigestInit_ex)
#define EVP_DigestUpdate (::zk::net::openSsl().EVP_DigestUpdate)
#define EVP_MD_CTX_free (::zk::net::openSsl().EVP_MD_CTX_free)
#define EVP_MD_CTX_new (::zk::net::openSsl().EVP_MD_CTX_new)
#define EVP_sha256 (::zk::net::openSsl().EVP_sha256)
#define SSL_CIPHER_get_name (::zk::net::openSsl().SSL_CIPHER_get_name)
#define SSL_CTX_ctrl (::zk::net::openSsl().SSL_CTX_ctrl)
#define SSL_CTX_new (::zk::net::openSsl().SSL_CTX_new)
#define SSL_CTX_set_default_verify_paths (::zk::net::openSsl().SSL_CTX_set_default_verify_paths)
#define SSL_CTX_set_verify (::zk::net::openSsl().SSL_CTX_set_verify)
#define SSL_SESSION_free (::zk::net::openSsl().SSL_SESSION_free)
#define SSL_ctrl (::zk::net::openSsl().SSL_ctrl)
#define SSL_do_handshake (::zk::net::openSsl().SSL_do_handshake)
#define SSL_free (::zk::net::openSsl().SSL_free)
#define SSL_get0_param (::zk::net::openSsl().SSL_get0_param)
#define SSL_get1_peer_certificate (::zk::net::openSsl().SSL_get1_peer_certificate)
#define SSL_get1_session (::zk::net::openSsl().SSL_get1_session)
#define SSL_get_current_cipher (::zk::net::openSsl().SSL_get_current_cipher)
#define SSL_get_error (::zk::net::openSsl().SSL_get_error)
#define SSL_get_verify_result (::zk::net::openSsl().SSL_get_verify_result)
#define SSL_get_version (::zk::net::openSsl().SSL_get_version)
#define SSL_is_init_finished (::zk::net::openSsl().SSL_is_init_finished)
#define SSL_new (::zk::net::openSsl().SSL_new)
#define SSL_peek (::zk::net::openSsl().SSL_peek)
#define SSL_pending (::zk::net::openSsl().SSL_pending)
#define SSL_read (::zk::net::openSsl().SSL_read)
#define SSL_session_reused (::zk::net::openSsl().SSL_session_reused)
#define SSL_set1_host (::zk::net::openSsl().SSL_set1_host)
#define SSL_set_bio (::zk::net::openSsl().SSL_set_bio)
#define SSL_set_connect_state (::zk::net::openSsl().SSL_set_connect_state)
#define SSL_set_session (::zk::net::openSsl().SSL_set_session)
#define SSL_shutdown (::zk::net::openSsl().SSL_shutdown)
#define SSL_write (::zk::net::openSsl().SSL_write)
#define TLS_client_method (::zk::net::openSsl().TLS_client_method)
#define X509_VERIFY_PARAM_set1_ip_asc (::zk::net::openSsl().X509_VERIFY_PARAM_set1_ip_asc)
#define X509_digest (::zk::net::openSsl().X509_digest)
#define X509_free (::zk::net::openSsl().X509_free)
#define X509_verify_cert_error_string (::zk::net::openSsl().X509_verify_cert_error_string)
#endif
