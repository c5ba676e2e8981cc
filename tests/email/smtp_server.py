"""SMTP peer of the e-mail tests: says "PORT <n>", then "C <line>" per client
line and "MAIL <from> <to> <base64 message>" per accepted message. --delay
holds every reply back (a slow server); --smtputf8 offers SMTPUTF8."""
import argparse
import asyncio
import base64
import logging
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Handler:
    async def handle_MAIL(self, server, session, envelope, address, options):
        if args.reject_sender:
            return "550 5.7.1 Sender not allowed here"
        envelope.mail_from = address
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        if args.reject_recipient:
            return "550 5.1.1 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        print("MAIL", envelope.mail_from, ",".join(envelope.rcpt_tos),
              base64.b64encode(envelope.original_content).decode(), flush=True)
        return "250 Message accepted"


class LoggingSMTP(SMTP):
    def data_received(self, data):
        for line in filter(None, data.split(b"\r\n")):
            print("C", line.decode("utf-8", "replace"), flush=True)
        super().data_received(data)

    async def push(self, status):
        if args.delay:
            await asyncio.sleep(args.delay)
        await super().push(status)


def authenticator(auth):
    def check(server, session, envelope, mechanism, data):
        ok = isinstance(data, LoginPassword) and data.login + b":" + data.password == auth.encode()
        return AuthResult(success=ok, handled=False)
    return check


logging.disable(logging.CRITICAL)
sys.stdout.reconfigure(encoding="utf-8")
p = argparse.ArgumentParser()
p.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
p.add_argument("--auth")
p.add_argument("--reject-sender", action="store_true")
p.add_argument("--reject-recipient", action="store_true")
p.add_argument("--delay", type=float, default=0)
p.add_argument("--smtputf8", action="store_true")
args = p.parse_args()
context = None
if args.tls:
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(*args.tls)
loop = asyncio.new_event_loop()
server = loop.run_until_complete(loop.create_server(
    lambda: LoggingSMTP(Handler(), hostname="localhost", tls_context=context,
                        require_starttls=context is not None, auth_required=args.auth is not None,
                        auth_require_tls=context is not None or args.auth is None,  # no --auth: no AUTH offered
                        authenticator=authenticator(args.auth) if args.auth else None,
                        enable_SMTPUTF8=args.smtputf8, loop=loop),
    "127.0.0.1", 0))
print("PORT", server.sockets[0].getsockname()[1], flush=True)
loop.run_forever()
