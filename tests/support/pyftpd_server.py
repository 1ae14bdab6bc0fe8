"""A pyftpdlib server for the tests: 127.0.0.1, a port of the system's choosing (printed first),
one user and anonymous access, both allowed to write below ROOT. Given a certificate and its
key, it speaks FTP over explicit TLS only: the login and every data connection encrypted.

usage: pyftpd_server.py ROOT USER PASSWORD [CERTIFICATE KEY]
"""
import logging
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
handler.authorizer = DummyAuthorizer()
handler.authorizer.add_user(user, password, root, perm="elradfmwMT")
handler.authorizer.add_anonymous(root, perm="elradfmwMT")
server = FTPServer(("127.0.0.1", 0), handler)
print(server.address[1], flush=True)
server.serve_forever(handle_exit=True)
