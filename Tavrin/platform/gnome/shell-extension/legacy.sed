# Turns the ES module into the script form that GNOME Shell 43 and 44 load.
s|^import \([A-Za-z]*\) from 'gi://\([A-Za-z]*\)';$|const \1 = imports.gi.\2;|
s|^import \* as \([A-Za-z]*\) from 'resource:///org/gnome/shell/\([a-z]*\)/\([A-Za-z]*\)\.js';$|const \1 = imports.\2.\3;|
/^import {Extension} from /d
s|^export default class TavrinExtension extends Extension {$|class TavrinExtension {|
$a\
\
function init() {\
    return new TavrinExtension();\
}
