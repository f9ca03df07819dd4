#!/usr/bin/env python3
"""Writes the seed corpora of fuzz/corpus/<target>/ from the datagrams and settings files of
the core's tests. Run it again after changing a target's input layout; files named crash-* are
left alone."""

import hashlib
import pathlib

SEP = b"\xf7"
HERE = pathlib.Path(__file__).resolve().parent


def scramble(text: bytes) -> bytes:
    out = bytearray(text)
    for i in range(1, len(out)):
        out[i] ^= 0x1E if i % 2 == 0 else 0x1C
    return bytes(out)


def records(*items: bytes) -> bytes:
    return b"\0".join(items)


DISPATCH = {
    "announce": records(b"2agAnn" + SEP + b" In"),
    "proxy": records(b"2agBob" + SEP + b" In", b"7zr10.0.0.7" + SEP + b"Bob" + SEP + b" Out",
                     b"7zg10.0.0.7 Bob In"),
    "takeover": records(
        b"7zy10.0.0.5" + SEP + b"OPERATOR" + SEP + b" At lunch ( 1:15 PM on Mon)",
        b"7zg10.0.0.5" + SEP + b"OPERATOR" + SEP + b" In",
        b"7zr10.0.0.50" + SEP + b"Eve" + SEP + b" Out"),
    "small-kinds": records(b"2q whatever", b"2", b"2b 10.0.0.255", b"2B 10.1.255.255", b"2x",
                           b"0xanything"),
    "messages": records(b"2m10.0.0.9" + SEP + b"hi - - - From A (10.0.0.7)",
                        b"2m10.0.0.5" + SEP + b"hi\r\nthere - - - From A (10.0.0.7)",
                        b"2Mto all - - - From A (10.0.0.7)",
                        b"2Mto all - - - From A (10.0.0.7)", b"W"),
    "receipts": records(b"2vl10.0.0.5" + SEP + b"Cay", b"2vl10.0.0.9", b"2dAnn > hi ( 9:05 AM)"),
    "relay": records(b"2arAnn" + SEP + b" Out  (off-line)", b"7agBob" + SEP + b" In",
                     b"1r X", b"S", b"T", b"T", b"T", b"T", b"27 Ann", b"S"),
    "idle": records(b"I", b"U", *([b"S"] * 12), b"I", b"S"),
    "names": records(b"2agSales/East \\ Ann" + SEP + b" In", b"3ayP1" + SEP + b" Away",
                     b"2agann" + SEP + b" In", b"KA", b"KB", b"K1", b"Ka"),
    "own-actions": records(b"AfBusy - In but unavailable", b"AyIn a meeting", b"P10.0.0.255",
                           b"P1.2.3.4", b"R", b"W"),
    "from-file": records(
        b"[VLX]\r\ncolorSort=0\r\nclock24=1\r\nidle=1\r\nIPAdr=10.77.0.255\r\n"
        b"[VLXOPERATOR]\r\nname=Opal Operator\r\n"
        b"[ipList]\r\ncnt=3\r\n0=10.0.0.7" + SEP + b"Ann" + SEP + b"yOn vacation\r\n"
        b"1=10.0.0.8" + SEP + b"Bob" + SEP + b"sIdle **\r\n"
        b"[VLXMsgs]\r\n0=" + scramble(b".hello") + b"\r\n1=^\r\n"
        b"[VLXlb]\r\ncnt=1\r\n0=At lunch\r\n1=Gone home\r\n",
        b"T", b"T", b"T", b"T", b"2agAnn" + SEP + b" In", b"W", b"S"),
}

SETTINGS = {
    "fallbacks": b"[VLX]\nCols=x\nnamesize=abc\ntop=-40\nleft=\nw=wide\nIPAdr=10.77.0.255\n"
                 b"size=12\nh=Sm\nidle=2 0 min\nbigH=301\n"
                 b"[Color]\nIn=blue\nOut=-1\nBusy=16777216\nRest=255\n",
    "keeps-the-rest": b"[VLX]\nold=1\nmsgOn=1\n[VLXBOB]\nname=Bob\n[Extra]\nk=v\n"
                      b"[ipList]\ncnt=9\n8=stale" + SEP + b"stale" + SEP + b"ystale\n"
                      b"[VLXMsgs]\n0=.x\n1=^\n2=.stale\n",
    "archive": b"[ipList]\ncnt=9\n0=" + SEP + b"Anna" + SEP + b"yAway\n1=1" + SEP + b"ab" + SEP
               + b"yAb\n2=1" + SEP + b"a" + SEP + b"yAbc\n3=1" + SEP + b"ab" + SEP + b"yA\n"
               b"4=10.0.0.9" + SEP + b"Name\n6=nothing to split\n7=1.2" + SEP + SEP + b"yAway\n"
               b"8=9.9.9.9" + SEP + b"Zed" + SEP + b"y" + SEP + b"x\n",
    "remarks": b"[VLXlb]\ncnt=abc\n0=a\n1=b\n2=c\n",
    "one-remark": b"[VLXlb]\ncnt=0\n0=lonely\n",
    "line-rules": b"orphan=before any section\r\n; comment=1\r\n[Info]\r\n  lock \t=\t 1  \r\n"
                  b"# note=2\nnot a key line\n[broken\nsep=a" + SEP + b"b\x80\xffc\neq=a=b\n"
                  b"dup=first\nDUP=second\n=no name\n[ Other ]  trailing\nx=1\n[INFO]\n"
                  b"lock=again\nmore=yes",
    "saved": b"[Info]\r\nlock=0\r\nIP=10.77.0.1\r\nv= Dazuviz Velmora 2.9\r\nd=Aug 4, 2001\r\n"
             b"[VLXOPERATOR]\r\nname=Opal Operator\r\n"
             b"[VLX]\r\nIPAdr=255.255.255.255\r\nname=/usr/bin/velmora\r\nmsg1=1\r\nmsgSnd=1\r\n"
             b"stChg=0\r\nstrtShw=1\r\nmsgOn=0\r\ndiscuss=0\r\nShwTime=1\r\nshtdwnOut=1\r\n"
             b"DelbsyIn=1\r\nTimeStrEnd=1\r\ncolorSort=1\r\nCols=0\r\nidle=15\r\nnamesize=8\r\n"
             b"size=8\r\ntop=20\r\nleft=20\r\nh=Large\r\nbigH=680\r\nw=440\r\nclock24=0\r\n"
             b"[ipList]\r\n0=10.0.0.1" + SEP + b"Own\r\n1=10.0.0.4" + SEP + b"Dana" + SEP
             + b"yOn vacation **\r\n2=10.0.0.5" + SEP + b"Emil" + SEP + b"sIdle **\r\ncnt=3\r\n"
             b"[Color]\r\nIn=65280\r\nOut=255\r\nBusy=16711935\r\nRest=65535\r\nInActive=12632256\r\n"
             b"[VLXMsgs]\r\n0=" + scramble(b".Hello") + b"\r\n1=" + scramble(b".World") + b"\r\n2=^\r\n"
             b"3=~arrow%20-%3E\r\n4=^\r\n"
             b"[VLXlb]\r\ncnt=1\r\n0=At lunch\r\n1=Out sick\r\n",
}

HISTORY = {
    "plain": b"Meeting at 10?",
    "empty": b"",
    "arrow": b"arrow ->",
    "less": b"abc <",
    "mask-hits": b"x" + bytes(m ^ t for m in (0x1C, 0x1E) for t in b"\r\n\0 \t") + b"y",
    "lines": b"Hello\r\nWorld\r\n - - - From Ann (10.0.0.7)",
    "exact-form": b"~arrow%20-%3E",
    "nul": b"nul\0inside",
    "high": b"sep" + SEP + b"\xff\x80",
    "crlf-mix": b"\r\r\n\n\r",
}

# Five bytes of moment, locale and clock format, then the status text.
FIELDS = {
    "stamped": b"\x00\x00\x00\x01\x23" + b"At lunch ( 1:15 PM on Mon)",
    "clock24": b"\x01\x00\x10\x00\x00" + b"In",
    "german": b"\x04\x00\x20\x00\x00" + b"Busy - In but unavailable",
    "japanese": b"\x08\x00\x30\x00\x00" + b"Meeting ( 2:00 PM on Tue)",
    "broadcast": b"\x00\x00\x00\x00\x00" + b"10.0.255.255",
    "bad-broadcast": b"\x00\x00\x00\x00\x00" + b"10..0.255",
    "fields": b"\x02\x00\x00\x00\x00" + b"Sales/East \\ Ann" + SEP + b"hello" + SEP + b"10.0.0.7",
    "off-line": b"\x00\x00\x00\x00\x00" + b"Out  (off-line)",
}


def write(target: str, seeds: dict) -> None:
    folder = HERE / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        if not old.name.startswith("crash-"):
            old.unlink()
    for name, data in seeds.items():
        digest = hashlib.sha1(data).hexdigest()[:8]
        (folder / f"seed-{name}-{digest}").write_bytes(data)


write("dispatch", DISPATCH)
write("settings", SETTINGS)
write("history", HISTORY)
write("fields", FIELDS)
