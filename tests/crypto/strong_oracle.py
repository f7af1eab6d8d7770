#!/usr/bin/env python3
"""An independent reader and writer of the strong envelope, on PyNaCl (libsodium's Python
binding), checked both ways against the program's own: the envelope tool at plaintext sizes
around the chunk boundaries, and ombrivault-cli for every kind of file.

usage: strong_oracle.py STRONG_ENVELOPE_TOOL OMBRIVAULT_CLI
"""
import os
import struct
import subprocess
import sys
import tempfile

import nacl.bindings as b
import nacl.hash
import nacl.pwhash
import nacl.utils

MAGIC = b"OVSTRONG"
HEADER = 80
TAG = 16
PASSWORD = "pässword"
PASSES, MEMORY_KIB = 1, 8192  # small, so the tests are quick; the header carries them

failures = []
passed = 0


def check(condition, what):
    global passed
    passed += 1 if condition else 0
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def derive(password, salt, passes, memory_kib):
    return nacl.pwhash.argon2id.kdf(32, password, salt, opslimit=passes,
                                    memlimit=memory_kib * 1024)


def key_check(key):
    return nacl.hash.blake2b(b"OVSTRONG key check", digest_size=16, key=key,
                             encoder=nacl.encoding.RawEncoder)


def nonce(base, index):
    head = struct.pack("<Q", struct.unpack("<Q", base[:8])[0] ^ index)
    return head + base[8:]


def seal(plain, password=PASSWORD.encode(), passes=PASSES, memory_kib=MEMORY_KIB,
         chunk=65536):
    salt = nacl.utils.random(16)
    base = nacl.utils.random(24)
    key = derive(password, salt, passes, memory_kib)
    header = (MAGIC + bytes([1, 1, 0, 0]) + struct.pack("<III", passes, memory_kib, chunk) +
              salt + base + key_check(key))
    assert len(header) == HEADER
    pieces = [plain[i:i + chunk] for i in range(0, len(plain), chunk)] or [b""]
    out = [header]
    for i, piece in enumerate(pieces):
        last = bytes([1 if i == len(pieces) - 1 else 0])
        out.append(b.crypto_aead_xchacha20poly1305_ietf_encrypt(piece, header + last,
                                                                 nonce(base, i), key))
    return b"".join(out)


def unseal(data, password=PASSWORD.encode()):
    """The plaintext, after checking the layout the writer promises."""
    assert data[:8] == MAGIC, "magic"
    assert data[8:12] == bytes([1, 1, 0, 0]), "version, key derivation, reserved"
    passes, memory_kib, chunk = struct.unpack("<III", data[12:24])
    salt, base, stored_check = data[24:40], data[40:64], data[64:80]
    key = derive(password, salt, passes, memory_kib)
    assert key_check(key) == stored_check, "key check"
    header, body = data[:HEADER], data[HEADER:]
    stride = chunk + TAG
    count = max(1, -(-len(body) // stride))
    plain = []
    for i in range(count):
        sealed = body[i * stride:(i + 1) * stride]
        last = bytes([1 if i == count - 1 else 0])
        plain.append(b.crypto_aead_xchacha20poly1305_ietf_decrypt(sealed, header + last,
                                                                   nonce(base, i), key))
    return b"".join(plain), (passes, memory_kib, chunk, count)


def run(args, stdin=b"", expect=0):
    r = subprocess.run(args, input=stdin, capture_output=True, cwd=work)
    check(r.returncode == expect,
          f"{' '.join(map(str, args))}: exit {r.returncode}, expected {expect}: {r.stderr!r}")
    return r


def read(name):
    with open(os.path.join(work, name), "rb") as f:
        return f.read()


def write(name, data):
    with open(os.path.join(work, name), "wb") as f:
        f.write(data)


def sizes_both_ways(tool):
    """The envelope tool and this reader and writer agree at every size around the chunk
    boundaries: each opens what the other seals."""
    for size in (0, 1, 65535, 65536, 65537, 200000):
        plain = os.urandom(size)
        write("plain", plain)
        run([tool, "seal", PASSWORD, str(PASSES), str(MEMORY_KIB), "plain", "ours"])
        data = read("ours")
        got, (passes, memory, chunk, count) = unseal(data)
        check(got == plain, f"tool-sealed {size} bytes read back differently")
        check((passes, memory, chunk) == (PASSES, MEMORY_KIB, 65536), f"header of {size}")
        check(count == max(1, -(-size // 65536)), f"{size} bytes in {count} chunks")
        check(len(data) == HEADER + size + TAG * count, f"length for {size}")

        write("theirs", seal(plain))
        run([tool, "open", PASSWORD, "theirs", "back"])
        check(read("back") == plain, f"python-sealed {size} bytes opened differently")
    # Another chunk size and parameters: the reader follows the header.
    plain = os.urandom(10000)
    write("odd", seal(plain, passes=2, memory_kib=9000, chunk=4096))
    run([tool, "open", PASSWORD, "odd", "back"])
    check(read("back") == plain, "4 KiB chunks opened differently")
    # A flag cleared on the last chunk, or a chunk too many: neither opens.
    data = seal(os.urandom(5000), chunk=4096)
    write("cut", data[:HEADER + 4096 + TAG])
    run([tool, "open", PASSWORD, "cut", "back"], expect=1)


def passwords_text(accounts):
    rows = "".join(f"<ACCOUNT><NAME>n{i}</NAME><ADDRESS>a</ADDRESS><USERID>u</USERID>"
                   f"<PASSWORD>p{i}</PASSWORD><NOTES>x</NOTES></ACCOUNT>" for i in range(accounts))
    return f"<DOC><WEB_ACCOUNTS>{rows}</WEB_ACCOUNTS><MAIL_ACCOUNTS/><OTHER_ACCOUNTS/></DOC>"


def kinds_both_ways(cli):
    """ombrivault-cli's strong files hold, inside, the compatible file it writes; and the
    compatible file wrapped here opens with decrypt, list and check."""
    pw = ["--password-file", "pw"]
    fast = ["--kdf-passes", str(PASSES), "--kdf-memory", str(MEMORY_KIB // 1024)]
    for ext in (".ovt", ".etx", ".ovd", ".ovf"):
        is_passwords = ext in (".ovd", ".ovf")
        # Small, and large enough for several chunks.
        for n in (3, 4000):
            text = passwords_text(n) if is_passwords else ("line ä €\r\n" * n * 8)
            write("in.txt", text.encode())
            run([cli] + pw + ["encrypt", "in.txt", "-o", "compat" + ext])
            run([cli] + pw + ["encrypt", "--strong"] + fast + ["in.txt", "-o", "strong" + ext])
            inner, (_, _, _, count) = unseal(read("strong" + ext))
            write("inner" + ext, inner)
            check(run([cli] + pw + ["decrypt", "inner" + ext]).stdout == text.encode(),
                  f"the inside of a strong {ext} is not the compatible file ({n})")
            if n == 4000:
                check(count > 1, f"{ext} of {n} fits one chunk")

            write("wrapped" + ext, seal(read("compat" + ext)))
            check(run([cli] + pw + ["decrypt", "wrapped" + ext]).stdout == text.encode(),
                  f"a python-wrapped {ext} decrypts differently ({n})")
            run([cli] + pw + ["check", "wrapped" + ext])
            if is_passwords:
                listed = run([cli] + pw + ["list", "wrapped" + ext]).stdout.decode()
                check(listed.count("\n") == n, f"list of a wrapped {ext}")
            info = run([cli, "info", "wrapped" + ext]).stdout.decode()
            check("strong" in info and "1 passes, 8 MiB" in info, f"info of {ext}: {info}")
            run([cli, "--password-file", "wrong"] + ["decrypt", "wrapped" + ext], expect=1)


def storage_both_ways(cli):
    """A storage is hardened and weakened byte for byte; the storage commands read and add to
    it through the envelope."""
    pw = ["--password-file", "pw"]
    fast = ["--kdf-passes", str(PASSES), "--kdf-memory", str(MEMORY_KIB // 1024)]
    write("note.txt", b"a note " * 30000)
    run([cli] + pw + ["add", "s.ovs", "note.txt"])
    original = read("s.ovs")
    run([cli] + pw + ["harden", "s.ovs", "-o", "hard.ovs"] + fast)
    inner, _ = unseal(read("hard.ovs"))
    check(inner == original, "harden changed the storage's bytes")
    check("strong" in run([cli, "info", "hard.ovs"]).stdout.decode(), "info of a storage")

    write("py.ovs", seal(original))
    run([cli] + pw + ["weaken", "py.ovs", "-o", "soft.ovs"])
    check(read("soft.ovs") == original, "weaken of a python-wrapped storage")
    listed = run([cli] + pw + ["ls", "soft.ovs"]).stdout
    check(run([cli] + pw + ["ls", "py.ovs"]).stdout == listed, "ls of a python-wrapped storage")
    # Added to through the envelope: the tool writes the compound file through it in one pass,
    # and what this reader takes out is a storage with both items.
    write("more.bin", bytes(range(256)) * 1000)
    run([cli] + pw + ["add", "py.ovs", "more.bin"])
    inner, _ = unseal(read("py.ovs"))
    check(inner[:8] == bytes.fromhex("d0cf11e0a1b11ae1"), "add through the envelope")
    write("inner.ovs", inner)
    listed = run([cli] + pw + ["ls", "inner.ovs"]).stdout.decode()
    check(listed == "more.bin\tfile\t256000\nnote.txt\ttext\t210000\n", f"ls after add: {listed}")
    run([cli, "--password-file", "wrong", "harden", "s.ovs", "-o", "x.ovs"] + fast, expect=1)
    check(not os.path.exists(os.path.join(work, "x.ovs")), "harden wrote with a wrong password")
    # In place, the previous storage stays as its backup, as after every storage save.
    run([cli] + pw + ["harden", "s.ovs"] + fast)
    check(read("s.BAK") == original, "harden in place kept no backup")
    check(unseal(read("s.ovs"))[0] == original, "harden in place")
    check(os.stat(os.path.join(work, "s.ovs")).st_mode & 0o077 == 0, "hardened file mode")


if __name__ == "__main__":
    tool, cli = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as work:
        write("pw", (PASSWORD + "\n").encode())
        write("wrong", b"Password\n")
        os.environ["OMBRIVAULT_CODEPAGE"] = "UTF-8"
        sizes_both_ways(tool)
        kinds_both_ways(cli)
        storage_both_ways(cli)
    print(f"{passed} passed, {len(failures)} failed")
    sys.exit(1 if failures else 0)
