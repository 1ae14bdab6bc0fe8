"""A pyftpdlib server for the tests: 127.0.0.1, a port of the system's choosing (printed first),
one user and anonymous access, both allowed to write below ROOT. Given a certificate and its
key, it speaks FTP over explicit TLS only: the login and every data connection encrypted. While a
file refuse-uploads.txt beside ROOT lists a file name (one a line), uploads of that name are
refused with 550.

usage: pyftpd_server.py ROOT USER PASSWORD [CERTIFICATE KEY]
"""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, user, password = sys.argv[1:4]
handler = FTPHandler
if len(sys.argv) > 5:
    from pyftpdlib.handlers import TLS_FTPHandler

    handler = TLS_FTPHandler
    handler.certfile, handler.keyfile = sys.argv[4:6]
    handler.tls_control_required = True
    handler.tls_data_required = True
logging.basicConfig(level=logging.ERROR)
refuse_list = os.path.join(os.path.dirname(os.path.abspath(root)), "refuse-uploads.txt")


def refused(name):
    try:
        with open(refuse_list, encoding="utf-8") as f:
            return os.path.basename(name) in f.read().split()
    except FileNotFoundError:
        return False


# On the base class, so that every handler made from it refuses alike.
_store = FTPHandler.ftp_STOR


def _store_unless_refused(self, file, mode="w"):
    if refused(file):
        self.respond("550 Upload of this file refused by the test.")
        return None
    return _store(self, file, mode)


FTPHandler.ftp_STOR = _store_unless_refused
handler.authorizer = DummyAuthorizer()
handler.authorizer.add_user(user, password, root, perm="elradfmwMT")
handler.authorizer.add_anonymous(root, perm="elradfmwMT")
server = FTPServer(("127.0.0.1", 0), handler)
print(server.address[1], flush=True)
server.serve_forever(handle_exit=True)
