#pragma once

// libssh's functions, called through a table filled when the first SFTP
// connection is made: the library (with the Kerberos libraries it brings) is
// not loaded when the program starts. Included after libssh's headers; each
// name below then stands for its entry in the table.

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include "LateLibrary.h"

#include <QString>

#define ZK_LIBSSH_FUNCTIONS(X) \
    X(sftp_attributes_free) X(sftp_canonicalize_path) X(sftp_close) X(sftp_closedir) X(sftp_dir_eof) \
    X(sftp_extension_supported) X(sftp_free) X(sftp_get_error) X(sftp_init) X(sftp_mkdir) X(sftp_new) X(sftp_open) \
    X(sftp_opendir) X(sftp_read) X(sftp_readdir) X(sftp_rename) X(sftp_rmdir) X(sftp_seek64) X(sftp_stat) \
    X(sftp_statvfs) X(sftp_statvfs_free) X(sftp_unlink) X(sftp_write) X(ssh_clean_pubkey_hash) X(ssh_connect) \
    X(ssh_disconnect) X(ssh_free) X(ssh_get_cipher_out) X(ssh_get_error) X(ssh_get_fd) X(ssh_get_fingerprint_hash) \
    X(ssh_get_kex_algo) X(ssh_get_publickey_hash) X(ssh_get_server_publickey) X(ssh_key_free) X(ssh_key_type) \
    X(ssh_key_type_to_char) X(ssh_new) X(ssh_options_get) X(ssh_options_get_port) X(ssh_options_parse_config) \
    X(ssh_options_set) X(ssh_session_export_known_hosts_entry) X(ssh_session_is_known_server) \
    X(ssh_string_free_char) X(ssh_userauth_kbdint) X(ssh_userauth_kbdint_getnprompts) \
    X(ssh_userauth_kbdint_getprompt) X(ssh_userauth_kbdint_setanswer) X(ssh_userauth_list) X(ssh_userauth_none) \
    X(ssh_userauth_password) X(ssh_userauth_publickey_auto)

namespace zk::net {

struct Libssh {
    ZK_LIBSSH_FUNCTIONS(ZK_LATE_SLOT)
    QString problem; // empty once every function is there
};

// Opens libssh on the first call.
const Libssh &libssh();

} // namespace zk::net

#ifndef ZK_LIBSSH_TABLE_ITSELF
#define sftp_attributes_free (::zk::net::libssh().sftp_attributes_free)
#define sftp_canonicalize_path (::zk::net::libssh().sftp_canonicalize_path)
#define sftp_close (::zk::net::libssh().sftp_close)
#define sftp_closedir (::zk::net::libssh().sftp_closedir)
#define sftp_dir_eof (::zk::net::libssh().sftp_dir_eof)
#define sftp_extension_supported (::zk::net::libssh().sftp_extension_supported)
#define sftp_free (::zk::net::libssh().sftp_free)
#define sftp_get_error (::zk::net::libssh().sftp_get_error)
#define sftp_init (::zk::net::libssh().sftp_init)
#define sftp_mkdir (::zk::net::libssh().sftp_mkdir)
#define sftp_new (::zk::net::libssh().sftp_new)
#define sftp_open (::zk::net::libssh().sftp_open)
#define sftp_opendir (::zk::net::libssh().sftp_opendir)
#define sftp_read (::zk::net::libssh().sftp_read)
#define sftp_readdir (::zk::net::libssh().sftp_readdir)
#define sftp_rename (::zk::net::libssh().sftp_rename)
#define sftp_rmdir (::zk::net::libssh().sftp_rmdir)
#define sftp_seek64 (::zk::net::libssh().sftp_seek64)
#define sftp_stat (::zk::net::libssh().sftp_stat)
#define sftp_statvfs (::zk::net::libssh().sftp_statvfs)
#define sftp_statvfs_free (::zk::net::libssh().sftp_statvfs_free)
#define sftp_unlink (::zk::net::libssh().sftp_unlink)
#define sftp_write (::zk::net::libssh().sftp_write)
#define ssh_clean_pubkey_hash (::zk::net::libssh().ssh_clean_pubkey_hash)
#define ssh_connect (::zk::net::libssh().ssh_connect)
#define ssh_disconnect (::zk::net::libssh().ssh_disconnect)
#define ssh_free (::zk::net::libssh().ssh_free)
#define ssh_get_cipher_out (::zk::net::libssh().ssh_get_cipher_out)
#define ssh_get_error (::zk::net::libssh().ssh_get_error)
#define ssh_get_fd (::zk::net::libssh().ssh_get_fd)
#define ssh_get_fingerprint_hash (::zk::net::libssh().ssh_get_fingerprint_hash)
#define ssh_get_kex_algo (::zk::net::libssh().ssh_get_kex_algo)
#define ssh_get_publickey_hash (::zk::net::libssh().ssh_get_publickey_hash)
#define ssh_get_server_publickey (::zk::net::libssh().ssh_get_server_publickey)
#define ssh_key_free (::zk::net::libssh().ssh_key_free)
#define ssh_key_type (::zk::net::libssh().ssh_key_type)
#define ssh_key_type_to_char (::zk::net::libssh().ssh_key_type_to_char)
#define ssh_new (::zk::net::libssh().ssh_new)
#define ssh_options_get (::zk::net::libssh().ssh_options_get)
#define ssh_options_get_port (::zk::net::libssh().ssh_options_get_port)
#define ssh_options_parse_config (::zk::net::libssh().ssh_options_parse_config)
#define ssh_options_set (::zk::net::libssh().ssh_options_set)
#define ssh_session_export_known_hosts_entry (::zk::net::libssh().ssh_session_export_known_hosts_entry)
#define ssh_session_is_known_server (::zk::net::libssh().ssh_session_is_known_server)
#define ssh_string_free_char (::zk::net::libssh().ssh_string_free_char)
#define ssh_userauth_kbdint (::zk::net::libssh().ssh_userauth_kbdint)
#define ssh_userauth_kbdint_getnprompts (::zk::net::libssh().ssh_userauth_kbdint_getnprompts)
#define ssh_userauth_kbdint_getprompt (::zk::net::libssh().ssh_userauth_kbdint_getprompt)
#define ssh_userauth_kbdint_setanswer (::zk::net::libssh().ssh_userauth_kbdint_setanswer)
#define ssh_userauth_list (::zk::net::libssh().ssh_userauth_list)
#define ssh_userauth_none (::zk::net::libssh().ssh_userauth_none)
#define ssh_userauth_password (::zk::net::libssh().ssh_userauth_password)
#define ssh_userauth_publickey_auto (::zk::net::libssh().ssh_userauth_publickey_auto)
#endif
