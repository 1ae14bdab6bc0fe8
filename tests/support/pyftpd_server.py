"""A pyftpdlib server for the tests: 127.0.0.1, a port of the system's choosing (printed first),
one user and anonymous access, both allowed to write below ROOT.

usage: pyftpd_server.py ROOT USER PASSWORD
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, user, password = sys.argv[1:4]
logging.basicConfig(level=logging.ERROR)
FTPHandler.authorizer = DummyAuthorizer()
FTPHandler.authorizer.add_user(user, password, root, perm="elradfmwMT")
FTPHandler.authorizer.add_anonymous(root, perm="elradfmwMT")
server = FTPServer(("127.0.0.1", 0), FTPHandler)
print(server.address[1], flush=True)
server.serve_forever(handle_exit=True)
