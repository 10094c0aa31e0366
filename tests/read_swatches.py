# An independent reading of the swatch files tintwise-palette writes (used
# only by the tests): FORMAT FILE -> one line a colour, "#rrggbb NAME", after
# checking each format's structure as the program that defines it reads it.
import struct
import sys

fmt, data = sys.argv[1], open(sys.argv[2], 'rb').read()
colours = []


def utf16(b):
    assert b[-2:] == b'\0\0', 'a name without its closing NUL'
    return b[:-2].decode('utf-16-be')


if fmt == 'ase':
    assert data[:8] == b'ASEF\0\1\0\0'
    at = 12
    for _ in range(struct.unpack('>I', data[8:12])[0]):
        kind, length = struct.unpack('>HI', data[at:at + 6])
        body, at = data[at + 6:at + 6 + length], at + 6 + length
        units = struct.unpack('>H', body[:2])[0]
        model, values, kind2 = body[2 + 2 * units:6 + 2 * units], body[6 + 2 * units:18 + 2 * units], body[18 + 2 * units:]
        assert kind == 1 and model == b'RGB ' and kind2 == b'\0\2', (kind, model, kind2)
        colours.append(([round(v * 255) for v in struct.unpack('>3f', values)], utf16(body[2:2 + 2 * units])))
elif fmt == 'aco':
    n = struct.unpack('>HH', data[:4])[1]
    first, at = [struct.unpack('>5H', data[4 + 10 * i:14 + 10 * i]) for i in range(n)], 4 + 10 * n
    assert data[:2] == b'\0\1' and struct.unpack('>HH', data[at:at + 4]) == (2, n)
    at += 4
    for i in range(n):
        record, units = struct.unpack('>5H', data[at:at + 10]), struct.unpack('>I', data[at + 10:at + 14])[0]
        assert record == first[i] and record[0] == 0 and record[4] == 0 and all(c % 257 == 0 for c in record[1:4])
        colours.append(([c // 257 for c in record[1:4]], utf16(data[at + 14:at + 14 + 2 * units])))
        at += 14 + 2 * units
elif fmt == 'act':
    count, transparent = struct.unpack('>HH', data[768:])
    assert len(data) == 772 and transparent == 0xFFFF and not any(data[3 * count:768])
    colours = [(list(data[3 * i:3 * i + 3]), '') for i in range(count)]
else:
    lines = data.decode('ascii').split('\r\n')
    assert lines[-1] == '' and all('\n' not in line for line in lines)
    if fmt == 'jasc':
        assert lines[:2] == ['JASC-PAL', '0100'] and int(lines[2]) == len(lines) - 4
        colours = [([int(v) for v in line.split(' ')], '') for line in lines[3:-1]]
    else:
        colours = [([int(line[i:i + 2], 16) for i in (2, 4, 6)], '') for line in lines[:-1] if line[:1] != ';']
        assert all(line[:2] == 'FF' and len(line) == 8 for line in lines[:-1] if line[:1] != ';')
    at = len(data)
assert fmt in ('act', 'jasc', 'paintnet') or at == len(data), 'data after the last colour'
for rgb, name in colours:
    print(('#%02x%02x%02x ' % tuple(rgb) + name).rstrip())
