//! encoding_rs_peer u2s|s2u FILE
//!
//! Converts FILE between UTF-8 and Shift_JIS with encoding_rs and writes the
//! result to standard output with CR LF line ends, so that it does the same
//! job as kawase: 64 KiB read at a time, each block converted and written
//! with one write. A character with no Shift_JIS code becomes "??", as in
//! kawase; a Shift_JIS byte sequence with no Unicode character becomes
//! U+FFFD. Invalid UTF-8 ends the run with status 1.

use encoding_rs::{CoderResult, Encoder, EncoderResult, SHIFT_JIS};
use std::fs::File;
use std::io::{self, Read, Write};
use std::os::unix::io::FromRawFd;
use std::process::exit;

const BLOCK: usize = 64 * 1024;

fn fail(what: &str) -> ! {
    eprintln!("encoding_rs_peer: {}", what);
    exit(1)
}

/// Copies `src` to `dst`, a CR before every LF.
fn add_cr(src: &[u8], dst: &mut Vec<u8>) {
    dst.clear();
    for line in src.split_inclusive(|&b| b == b'\n') {
        match line.split_last() {
            Some((b'\n', body)) => {
                dst.extend_from_slice(body);
                dst.extend_from_slice(b"\r\n");
            }
            _ => dst.extend_from_slice(line),
        }
    }
}

/// Encodes all of `text`, writing "??" for each unmappable character.
fn encode(encoder: &mut Encoder, text: &str, last: bool, out: &mut Vec<u8>) {
    // "??" is no longer than the character it stands for (two bytes or
    // more in UTF-8), so one buffer of the bound for the whole text is enough.
    let need = encoder
        .max_buffer_length_from_utf8_without_replacement(text.len())
        .unwrap_or_else(|| fail("block too large"));
    out.resize(need + 2, 0);
    let (mut pos, mut end) = (0, 0);
    loop {
        let (result, read, written) =
            encoder.encode_from_utf8_without_replacement(&text[pos..], &mut out[end..], last);
        pos += read;
        end += written;
        match result {
            EncoderResult::InputEmpty => break,
            EncoderResult::Unmappable(_) => {
                out[end..end + 2].copy_from_slice(b"??");
                end += 2;
            }
            EncoderResult::OutputFull => fail("output buffer too small"),
        }
    }
    out.truncate(end);
}

/// The valid UTF-8 prefix of `buf`, leaving an incomplete last character
/// (when more input follows) for the next block.
fn valid_prefix(buf: &[u8], last: bool) -> &str {
    match std::str::from_utf8(buf) {
        Ok(s) => s,
        Err(e) if e.error_len().is_none() && !last => {
            // SAFETY: from_utf8 checked the bytes up to valid_up_to.
            unsafe { std::str::from_utf8_unchecked(&buf[..e.valid_up_to()]) }
        }
        Err(_) => fail("invalid UTF-8"),
    }
}

fn utf8_to_sjis(input: &mut File, out: &mut File) -> io::Result<()> {
    let mut encoder = SHIFT_JIS.new_encoder();
    let mut buf = vec![0u8; BLOCK + 4];
    let (mut coded, mut crlf) = (Vec::new(), Vec::new());
    let mut held = 0;
    loop {
        let n = input.read(&mut buf[held..held + BLOCK])?;
        let last = n == 0;
        let filled = held + n;
        let text = valid_prefix(&buf[..filled], last);
        let used = text.len();
        encode(&mut encoder, text, last, &mut coded);
        add_cr(&coded, &mut crlf);
        out.write_all(&crlf)?;
        if last {
            return Ok(());
        }
        buf.copy_within(used..filled, 0);
        held = filled - used;
    }
}

fn sjis_to_utf8(input: &mut File, out: &mut File) -> io::Result<()> {
    let mut decoder = SHIFT_JIS.new_decoder_without_bom_handling();
    let mut buf = vec![0u8; BLOCK];
    let mut coded = vec![0u8; decoder.max_utf8_buffer_length(BLOCK).unwrap()];
    let mut crlf = Vec::new();
    loop {
        let n = input.read(&mut buf)?;
        let last = n == 0;
        let (result, _, written, _) = decoder.decode_to_utf8(&buf[..n], &mut coded, last);
        if let CoderResult::OutputFull = result {
            fail("output buffer too small");
        }
        add_cr(&coded[..written], &mut crlf);
        out.write_all(&crlf)?;
        if last {
            return Ok(());
        }
    }
}

fn main() {
    let args: Vec<String> = std::env::args().collect();
    if args.len() != 3 {
        fail("usage: encoding_rs_peer u2s|s2u FILE");
    }
    let mut input = File::open(&args[2]).unwrap_or_else(|e| fail(&format!("{}: {}", args[2], e)));
    // Standard output unbuffered: every block leaves in one write.
    // SAFETY: descriptor 1 is open for the whole run and owned by nobody else here.
    let mut out = unsafe { File::from_raw_fd(1) };
    let done = match args[1].as_str() {
        "u2s" => utf8_to_sjis(&mut input, &mut out),
        "s2u" => sjis_to_utf8(&mut input, &mut out),
        _ => fail("direction must be u2s or s2u"),
    };
    done.unwrap_or_else(|e| fail(&e.to_string()));
}
