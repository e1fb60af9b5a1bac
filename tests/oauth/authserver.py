#!/usr/bin/env python3
# A stand-in OAuth 2.0 authorization server on 127.0.0.1 (standard library only):
# /authorize (automatic consent, PKCE S256, loopback redirect), /token (code with
# verifier; refresh tokens rotated: each works once), /introspect (RFC 7662, for
# Dovecot), /control (lifetime=N of new access tokens; expire=1 voids every access
# token, revoke=1 every refresh token), /state (JSON). Usage: authserver.py PORTFILE
import base64, hashlib, json, os, secrets, sys, threading, time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlencode, urlparse

lock = threading.Lock()
codes, access, refresh = {}, {}, {}
state = {"lifetime": 3600, "token_calls": 0, "refresh_calls": 0, "issued_access": [], "issued_refresh": []}


def parse(query):
    return {k: v[0] for k, v in parse_qs(query).items()}


def issue(user):
    a, r = secrets.token_urlsafe(24), secrets.token_urlsafe(24)
    access[a] = (user, time.time() + state["lifetime"])
    refresh[r] = user
    state["issued_access"].append(a)
    state["issued_refresh"].append(r)
    return {"access_token": a, "refresh_token": r, "token_type": "Bearer", "expires_in": state["lifetime"]}


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass
    def reply(self, status, body, headers=()):
        data = json.dumps(body).encode()
        self.send_response(status)
        for name, value in [("Content-Type", "application/json"), ("Content-Length", str(len(data)))] + list(headers):
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def form(self):
        return parse(self.rfile.read(int(self.headers.get("Content-Length", "0"))).decode())

    def do_GET(self):
        url = urlparse(self.path)
        q = parse(url.query)
        with lock:
            if url.path == "/state":
                return self.reply(200, state)
            if url.path == "/control":
                state["lifetime"] = int(q.get("lifetime", state["lifetime"]))
                for flag, tokens in (("expire", access), ("revoke", refresh)):
                    if q.get(flag):
                        tokens.clear()
                return self.reply(200, {})
            if url.path != "/authorize":
                return self.reply(404, {})
            redirect = urlparse(q.get("redirect_uri", ""))
            if (q.get("response_type") != "code" or q.get("code_challenge_method") != "S256"
                    or len(q.get("code_challenge", "")) != 43 or redirect.scheme != "http"
                    or redirect.hostname != "127.0.0.1" or not q.get("state") or not q.get("client_id")):
                return self.reply(400, {"error": "invalid_request"})
            code = secrets.token_urlsafe(16)
            codes[code] = (q["code_challenge"], q["redirect_uri"], q.get("login_hint", ""))
            target = q["redirect_uri"] + "?" + urlencode({"code": code, "state": q["state"]})
            self.reply(302, {}, [("Location", target)])

    def do_POST(self):
        url = urlparse(self.path)
        f = self.form()
        with lock:
            if url.path == "/introspect":
                entry = access.get(f.get("token", ""))
                if entry and entry[1] > time.time():
                    return self.reply(200, {"active": True, "email": entry[0]})
                return self.reply(200, {"active": False})
            if url.path != "/token":
                return self.reply(404, {})
            state["token_calls"] += 1
            if f.get("grant_type") == "authorization_code":
                challenge, redirect, user = codes.pop(f.get("code", ""), (None, None, None))
                verifier = f.get("code_verifier", "").encode()
                digest = base64.urlsafe_b64encode(hashlib.sha256(verifier).digest()).rstrip(b"=").decode()
                if challenge is None or digest != challenge or redirect != f.get("redirect_uri"):
                    return self.reply(400, {"error": "invalid_grant"})
                return self.reply(200, issue(user))
            if f.get("grant_type") == "refresh_token":
                state["refresh_calls"] += 1
                old = f.get("refresh_token", "")
                user = refresh.pop(old, None)
                if user is None:
                    return self.reply(400, {"error": "invalid_grant", "error_description": "refresh token revoked"})
                return self.reply(200, issue(user))
            return self.reply(400, {"error": "unsupported_grant_type"})


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[1] + ".tmp", "w") as out:
    out.write(str(server.server_address[1]))
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
server.serve_forever()
