"""A pyftpdlib server for the tests: 127.0.0.1, a port of the system's choosing (printed first),
one user and anonymous access, both allowed to write below ROOT.

usage: pyftpd_server.py ROOT USER PASSWORD
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password = sys.argv[1:4]
    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    authorizer.add_anonymous(root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "pyftpdlib ready"
    server = FTPServer(("127.0.0.1", 0), handler)
    server.max_cons = 64
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
