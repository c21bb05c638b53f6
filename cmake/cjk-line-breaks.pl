# Filters a manual page (roff) so that groff may break lines inside Chinese text: groff breaks
# only at spaces, which Chinese does not have. A break point (\:) follows every Chinese
# character or punctuation mark, except an opening bracket or one a closing mark follows.
use utf8;
use strict;
use warnings;
use open qw(:std :encoding(UTF-8));

while (my $line = <STDIN>) {
    $line =~ s/([\p{Han}\x{3000}-\x{303F}\x{FF00}-\x{FFEF}])(?<![（“「『《])(?![，。、；：）”」』》！？])/$1\\:/g;
    print $line;
}
