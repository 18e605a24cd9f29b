<?php
// fold.php - names compared as people read them: "cafe" finds "Café" and
// "ÉTÉ" finds "été". Works without the interpreter's optional Unicode
// extensions, which a server may lack.
// Each letter of FOLD_FROM is the letter at the same place in FOLD_TO with its
// accents; both come from Unicode's canonical decompositions of the Latin,
// Greek and Cyrillic letters.
const FOLD_FROM = 'ÀÁÂÃÄÅÇÈÉÊËÌÍÎÏÑÒÓÔÕÖÙÚÛÜÝàáâãäåçèéêëìíîïñòóôõöùúûüýÿĀāĂăĄąĆćĈĉĊ'
    . 'ċČčĎďĒēĔĕĖėĘęĚěĜĝĞğĠġĢģĤĥĨĩĪīĬĭĮįİĴĵĶķĹĺĻļĽľŃńŅņŇňŌōŎŏŐőŔŕŖŗŘřŚś'
    . 'ŜŝŞşŠšŢţŤťŨũŪūŬŭŮůŰűŲųŴŵŶŷŸŹźŻżŽžƠơƯưǍǎǏǐǑǒǓǔǕǖǗǘǙǚǛǜǞǟǠǡǢǣǦǧǨǩǪ'
    . 'ǫǬǭǮǯǰǴǵǸǹǺǻǼǽǾǿȀȁȂȃȄȅȆȇȈȉȊȋȌȍȎȏȐȑȒȓȔȕȖȗȘșȚțȞȟȦȧȨȩȪȫȬȭȮȯȰȱȲȳḀḁḂḃ'
    . 'ḄḅḆḇḈḉḊḋḌḍḎḏḐḑḒḓḔḕḖḗḘḙḚḛḜḝḞḟḠḡḢḣḤḥḦḧḨḩḪḫḬḭḮḯḰḱḲḳḴḵḶḷḸḹḺḻḼḽḾḿṀṁṂṃ'
    . 'ṄṅṆṇṈṉṊṋṌṍṎṏṐṑṒṓṔṕṖṗṘṙṚṛṜṝṞṟṠṡṢṣṤṥṦṧṨṩṪṫṬṭṮṯṰṱṲṳṴṵṶṷṸṹṺṻṼṽṾṿẀẁẂẃ'
    . 'ẄẅẆẇẈẉẊẋẌẍẎẏẐẑẒẓẔẕẖẗẘẙẛẠạẢảẤấẦầẨẩẪẫẬậẮắẰằẲẳẴẵẶặẸẹẺẻẼẽẾếỀềỂểỄễỆệỈ'
    . 'ỉỊịỌọỎỏỐốỒồỔổỖỗỘộỚớỜờỞởỠỡỢợỤụỦủỨứỪừỬửỮữỰựỲỳỴỵỶỷỸỹΆΈΉΊΌΎΏΐΪΫάέήίΰ'
    . 'ϊϋόύώἀἁἂἃἄἅἆἇἈἉἊἋἌἍἎἏἐἑἒἓἔἕἘἙἚἛἜἝἠἡἢἣἤἥἦἧἨἩἪἫἬἭἮἯἰἱἲἳἴἵἶἷἸἹἺἻἼἽἾ'
    . 'ἿὀὁὂὃὄὅὈὉὊὋὌὍὐὑὒὓὔὕὖὗὙὛὝὟὠὡὢὣὤὥὦὧὨὩὪὫὬὭὮὯὰάὲέὴήὶίὸόὺύὼώᾀᾁᾂᾃᾄᾅᾆᾇᾈ'
    . 'ᾉᾊᾋᾌᾍᾎᾏᾐᾑᾒᾓᾔᾕᾖᾗᾘᾙᾚᾛᾜᾝᾞᾟᾠᾡᾢᾣᾤᾥᾦᾧᾨᾩᾪᾫᾬᾭᾮᾯᾰᾱᾲᾳᾴᾶᾷᾸᾹᾺΆᾼ῁ῂῃῄῆῇῈΈῊΉῌ῍῎'
    . '῏ῐῑῒΐῖῗῘῙῚΊ῝῞῟ῠῡῢΰῤῥῦῧῨῩῪΎῬ῭΅ῲῳῴῶῷῸΌῺΏῼЀЁЃЇЌЍЎЙйѐёѓїќѝўѶѷӁӂӐӑӒӓӖ'
    . 'ӗӚӛӜӝӞӟӢӣӤӥӦӧӪӫӬӭӮӯӰӱӲӳӴӵӸӹ';
const FOLD_TO = 'AAAAAACEEEEIIIINOOOOOUUUUYaaaaaaceeeeiiiinooooouuuuyyAaAaAaCcCcC'
    . 'cCcDdEeEeEeEeEeGgGgGgGgHhIiIiIiIiIJjKkLlLlLlNnNnNnOoOoOoRrRrRrSs'
    . 'SsSsSsTtTtUuUuUuUuUuUuWwYyYZzZzZzOoUuAaIiOoUuUuUuUuUuAaAaÆæGgKkO'
    . 'oOoƷʒjGgNnAaÆæØøAaAaEeEeIiIiOoOoRrRrUuUuSsTtHhAaEeOoOoOoOoYyAaBb'
    . 'BbBbCcDdDdDdDdDdEeEeEeEeEeFfGgHhHhHhHhHhIiIiKkKkKkLlLlLlLlMmMmMm'
    . 'NnNnNnNnOoOoOoOoPpPpRrRrRrRrSsSsSsSsSsTtTtTtTtUuUuUuUuUuVvVvWwWw'
    . 'WwWwWwXxXxYyZzZzZzhtwyſAaAaAaAaAaAaAaAaAaAaAaAaEeEeEeEeEeEeEeEeI'
    . 'iIiOoOoOoOoOoOoOoOoOoOoOoOoUuUuUuUuUuUuUuYyYyYyYyΑΕΗΙΟΥΩιΙΥαεηιυ'
    . 'ιυουωααααααααΑΑΑΑΑΑΑΑεεεεεεΕΕΕΕΕΕηηηηηηηηΗΗΗΗΗΗΗΗιιιιιιιιΙΙΙΙΙΙΙ'
    . 'ΙοοοοοοΟΟΟΟΟΟυυυυυυυυΥΥΥΥωωωωωωωωΩΩΩΩΩΩΩΩααεεηηιιοουυωωααααααααΑ'
    . 'ΑΑΑΑΑΑΑηηηηηηηηΗΗΗΗΗΗΗΗωωωωωωωωΩΩΩΩΩΩΩΩαααααααΑΑΑΑΑ¨ηηηηηΕΕΗΗΗ᾿᾿'
    . '᾿ιιιιιιΙΙΙΙ῾῾῾υυυυρρυυΥΥΥΥΡ¨¨ωωωωωΟΟΩΩΩЕЕГІКИУИиеегікиуѴѵЖжАаАаЕ'
    . 'еӘәЖжЗзИиИиОоӨөЭэУуУуУуЧчЫы';

/** $text without accents and with ASCII letters in lower case; other bytes unchanged. */
function fold_text(string $text): string
{
    static $map = null;
    if (preg_match('/[\x80-\xff]/', $text) && preg_match('//u', $text)) {
        $map ??= array_combine(preg_split('//u', FOLD_FROM, -1, PREG_SPLIT_NO_EMPTY),
            preg_split('//u', FOLD_TO, -1, PREG_SPLIT_NO_EMPTY));
        // Names written in decomposed form carry their accents as marks of their own.
        $text = preg_replace('/\p{Mn}+/u', '', strtr($text, $map));
    }
    return strtolower($text);
}

/**
 * The table above for the page's script, which folds the listing's names and
 * the words typed into its filter with it, so that the filter finds what the
 * search finds.
 */
function fold_table(): string
{
    return '<script type="application/json" id="fold-table">'
        . json_encode(['from' => FOLD_FROM, 'to' => FOLD_TO], JSON_HEX_TAG | JSON_UNESCAPED_UNICODE) . "</script>\n";
}
