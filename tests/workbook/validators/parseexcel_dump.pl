#!/usr/bin/perl
# Prints the cells of an .xls file as Spreadsheet::ParseExcel sees them, one line
# each: sheet, row, column, text|number, value, number format code. An Excel 5
# file keeps 8-bit texts in its code page, which the parser hands over as bytes:
# they are decoded here from the code page the file declares (1251).
use strict;
use warnings;
use Encode qw(decode);
use Spreadsheet::ParseExcel;

binmode STDOUT, ':encoding(UTF-8)';
my $path = shift or die "usage: parseexcel_dump.pl FILE\n";
my $parser = Spreadsheet::ParseExcel->new();
my $book = $parser->parse($path);
die "parse failed: " . $parser->error() . "\n" unless defined $book;

sub text_of {
    my ($cell) = @_;
    my $raw = $cell->unformatted();
    return defined $cell->encoding() && $cell->encoding() == 2 ? $raw : decode('cp1251', $raw);
}

sub escape {
    my ($t) = @_;
    $t =~ s/\\/\\\\/g;
    $t =~ s/\t/\\t/g;
    $t =~ s/\n/\\n/g;
    return $t;
}

my $s = 0;
for my $sheet ($book->worksheets()) {
    print "sheet\t$s\t", escape(decode('cp1251', $sheet->get_name())), "\n";
    my ($rmin, $rmax) = $sheet->row_range();
    my ($cmin, $cmax) = $sheet->col_range();
    for my $r ($rmin .. $rmax) {
        for my $c ($cmin .. $cmax) {
            my $cell = $sheet->get_cell($r, $c) or next;
            my $type = $cell->type();
            my $fmt = $cell->get_format();
            my $code = $book->{FormatStr}{ $fmt->{FmtIdx} } // 'General';
            my $font = $fmt->{Font};
            my $borders = join '', map { $_ // 0 } @{ $fmt->{BdrStyle} }[2, 3, 0, 1];
            if ($type eq 'Text') {
                print "$s\t$r\t$c\ttext\t", escape(text_of($cell)), "\t$code\t$borders\n";
            } elsif ($type eq 'Numeric' || $type eq 'Date') {
                printf "%d\t%d\t%d\tnumber\t%.17g\t%s\t%s\n", $s, $r, $c, $cell->unformatted(), $code,
                    $borders;
            } else {
                print "$s\t$r\t$c\tother\t", $cell->unformatted(), "\t$code\n";
            }
        }
    }
    $s++;
}
