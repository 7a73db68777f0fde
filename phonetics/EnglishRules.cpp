// The built-in English letter-to-sound rules, in priority order: rule n is stored
// in row n. Each is written in the rule notation: left context " [[ " letters
// " ]] " right context " -> " phonemes. Spaces are significant: an empty right
// context leaves two spaces before the arrow, and every rule but the first ends
// with one space.

#include "EnglishRules.h"

namespace vantel::phonetics {
namespace {

// The table keeps its own layout: one rule a line, numbered.
// clang-format off
constexpr std::array<std::u16string_view, kEnglishRuleCount> kRules = {
    // the apostrophe
    u"[bdvjlmnrw] [[ 's ]]  -> z",  // 0
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bdvjlmnrw]e [[ 's ]]  -> z ",  // 1
    u"[aeiou]+ [[ 's ]]  -> z ",  // 2
    u" [[ ' ]]  -> ",  // 3

    // "a"
    u" [[ a ]] $ -> @ ",  // 4
    u"^ [[ are ]] $ -> aa r ",  // 5
    u"^ [[ ar ]] o -> @ r ",  // 6
    u" [[ ar ]] [aeiou]+ -> e r ",  // 7
    u"[bcdfghjklmnpqrstvwxyz] [[ as ]] [aeiou]+ -> ei s ",  // 8
    u" [[ a ]] wa -> @ ",  // 9
    u" [[ aw ]]  -> oo ",  // 10
    u"^[bcdfghjklmnpqrstvwxyz]* [[ any ]]  -> e n ii ",  // 11
    u" [[ a ]] [bcdfghjklmnpqrstvwxyz][eiy][aeiou]+ -> ei ",  // 12
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ ally ]]  -> @ l ii ",  // 13
    u"^ [[ al ]] [aeiou]+ -> @ l ",  // 14
    u" [[ again ]]  -> @ g e n ",  // 15
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ ag ]] e -> i jh ",  // 16
    u" [[ a ]] [bcdfghjklmnpqrstvwxyz][eiy][bcdfghjklmnpqrstvwxyz]*[aeiou]+ -> a ",  // 17
    u"^[bcdfghjklmnpqrstvwxyz]* [[ a ]] [bcdfghjklmnpqrstvwxyz][eiy]$ -> ei ",  // 18
    u" [[ a ]] [bcdfghjklmnpqrstvwxyz](er|e|es|ed|ing|ely) -> ei ",  // 19
    u"^ [[ arr ]]  -> @ r ",  // 20
    u" [[ arr ]]  -> a r ",  // 21
    u"^[bcdfghjklmnpqrstvwxyz]* [[ ar ]] $ -> aa r ",  // 22
    u" [[ ar ]] $ -> @@ ",  // 23
    u" [[ ar ]]  -> aa r ",  // 24
    u" [[ air ]]  -> e r ",  // 25
    u" [[ ai ]]  -> ei ",  // 26
    u" [[ ay ]]  -> ei ",  // 27
    u" [[ au ]]  -> oo ",  // 28
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ al ]] $ -> @ l ",  // 29
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ als ]] $ -> @ l z ",  // 30
    u" [[ alk ]]  -> oo k ",  // 31
    u" [[ al ]] [bcdfghjklmnpqrstvwxyz] -> oo l ",  // 32
    u"^[bcdfghjklmnpqrstvwxyz]* [[ able ]]  -> ei b @ l ",  // 33
    u" [[ able ]]  -> @ b @ l ",  // 34
    u" [[ ang ]] [eiy] -> ei n jh ",  // 35
    u" [[ a ]]  -> a ",  // 36

    // "b"
    u"^ [[ be ]] [bcdfghjklmnpqrstvwxyz][aeiou]+ -> b i ",  // 37
    u" [[ being ]]  -> b ii i ng ",  // 38
    u"^ [[ both ]] $ -> b ou th ",  // 39
    u"^ [[ bus ]] [aeiou]+ -> b i z ",  // 40
    u" [[ buil ]]  -> b i l ",  // 41
    u" [[ b ]]  -> b ",  // 42

    // "c"
    u"^ [[ ch ]] [bcdfghjklmnpqrstvwxyz] -> k ",  // 43
    u"[bcdfghjklmnpqrstvwxyz]e [[ ch ]]  -> k ",  // 44
    u" [[ ch ]]  -> ch ",  // 45
    u"^s [[ ci ]] [aeiou]+ -> s ai ",  // 46
    u" [[ ci ]] a -> sh ",  // 47
    u" [[ ci ]] o -> sh ",  // 48
    u" [[ ci ]] en -> sh ",  // 49
    u" [[ c ]] [eiy] -> s ",  // 50
    u" [[ ck ]]  -> k ",  // 51
    u" [[ com ]] (er|e|es|ed|ing|ely) -> k uh m ",  // 52
    u" [[ c ]]  -> k ",  // 53

    // "d"
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ ded ]] $ -> d i d ",  // 54
    u"[bdvjlmnrw]e [[ d ]] $ -> d ",  // 55
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz]e [[ d ]] $ -> t ",  // 56
    u"^ [[ de ]] [bcdfghjklmnpqrstvwxyz][aeiou]+ -> d i ",  // 57
    u"^ [[ do ]] $ -> d uu ",  // 58
    u"^ [[ does ]]  -> d uh z ",  // 59
    u"^ [[ doing ]]  -> d uu i ng ",  // 60
    u"^ [[ dow ]]  -> d au ",  // 61
    u" [[ du ]] a -> jh uu ",  // 62
    u" [[ d ]]  -> d ",  // 63

    // "e"
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ e ]] $ -> ",  // 64
    u"[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz] [[ e ]] $ -> ",  // 65
    u"^[bcdfghjklmnpqrstvwxyz]* [[ e ]] $ -> ii ",  // 66
    u"[aeiou]+ [[ ed ]] $ -> d ",  // 67
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ e ]] d$ -> ",  // 68
    u" [[ ev ]] er -> e v ",  // 69
    u" [[ e ]] [bcdfghjklmnpqrstvwxyz](er|e|es|ed|ing|ely) -> ii ",  // 70
    u" [[ eri ]] [aeiou]+ -> ii r ii ",  // 71
    u" [[ eri ]]  -> e r i ",  // 72
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ er ]] [aeiou]+ -> @@ ",  // 73
    u" [[ er ]] [aeiou]+ -> e r ",  // 74
    u" [[ er ]]  -> @@ ",  // 75
    u"^ [[ even ]]  -> ii v e n ",  // 76
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ e ]] w -> ",  // 77
    u"t [[ ew ]]  -> uu ",  // 78
    u"s [[ ew ]]  -> uu ",  // 79
    u"r [[ ew ]]  -> uu ",  // 80
    u"d [[ ew ]]  -> uu ",  // 81
    u"l [[ ew ]]  -> uu ",  // 82
    u"z [[ ew ]]  -> uu ",  // 83
    u"n [[ ew ]]  -> uu ",  // 84
    u"j [[ ew ]]  -> uu ",  // 85
    u"th [[ ew ]]  -> uu ",  // 86
    u"ch [[ ew ]]  -> uu ",  // 87
    u"sh [[ ew ]]  -> uu ",  // 88
    u" [[ ew ]]  -> y uu ",  // 89
    u" [[ e ]] o -> ii ",  // 90
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*s [[ es ]] $ -> i z ",  // 91
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*c [[ es ]] $ -> i z ",  // 92
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*g [[ es ]] $ -> i z ",  // 93
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*z [[ es ]] $ -> i z ",  // 94
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*x [[ es ]] $ -> i z ",  // 95
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*j [[ es ]] $ -> i z ",  // 96
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*ch [[ es ]] $ -> i z ",  // 97
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*sh [[ es ]] $ -> i z ",  // 98
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ e ]] s$ -> ",  // 99
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ ely ]] $ -> l ii ",  // 100
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ ement ]]  -> m e n t ",  // 101
    u" [[ eful ]]  -> f u l ",  // 102
    u" [[ ee ]]  -> ii ",  // 103
    u" [[ earn ]]  -> @@ n ",  // 104
    u"^ [[ ear ]] [bcdfghjklmnpqrstvwxyz] -> @@ ",  // 105
    u" [[ ead ]]  -> e d ",  // 106
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ ea ]] $ -> ii @ ",  // 107
    u" [[ ea ]] su -> e ",  // 108
    u" [[ ea ]]  -> ii ",  // 109
    u" [[ eigh ]]  -> ei ",  // 110
    u" [[ ei ]]  -> ii ",  // 111
    u"^ [[ eye ]]  -> ai ",  // 112
    u" [[ ey ]]  -> ii ",  // 113
    u" [[ eu ]]  -> y uu ",  // 114
    u" [[ e ]]  -> e ",  // 115

    // "f"
    u" [[ ful ]]  -> f u l ",  // 116
    u" [[ f ]]  -> f ",  // 117

    // "g"
    u" [[ giv ]]  -> g i v ",  // 118
    u"^ [[ g ]] i[bcdfghjklmnpqrstvwxyz] -> g ",  // 119
    u" [[ ge ]] t -> g e ",  // 120
    u"su [[ gges ]]  -> g jh e s ",  // 121
    u" [[ gg ]]  -> g ",  // 122
    u"^b[aeiou]+ [[ g ]]  -> g ",  // 123
    u" [[ g ]] [eiy] -> jh ",  // 124
    u" [[ great ]]  -> g r ei t ",  // 125
    u"[aeiou]+ [[ gh ]]  -> ",  // 126
    u" [[ g ]]  -> g ",  // 127

    // "h"
    u"^ [[ hav ]]  -> h a v ",  // 128
    u"^ [[ here ]]  -> h ii r ",  // 129
    u"^ [[ hour ]]  -> au @@ ",  // 130
    u" [[ how ]]  -> h au ",  // 131
    u" [[ h ]] [aeiou]+ -> h ",  // 132
    u" [[ h ]]  -> ",  // 133

    // "i"
    u"^ [[ in ]]  -> i n ",  // 134
    u"^ [[ i ]] $ -> ai ",  // 135
    u" [[ in ]] d -> ai n ",  // 136
    u" [[ ier ]]  -> ii @@ ",  // 137
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*r [[ ied ]]  -> ii d ",  // 138
    u" [[ ied ]] $ -> ai d ",  // 139
    u" [[ ien ]]  -> ii e n ",  // 140
    u" [[ ie ]] t -> ai e ",  // 141
    u"^[bcdfghjklmnpqrstvwxyz]* [[ i ]] (er|e|es|ed|ing|ely) -> ai ",  // 142
    u" [[ i ]] (er|e|es|ed|ing|ely) -> ii ",  // 143
    u" [[ ie ]]  -> ii ",  // 144
    u" [[ i ]] [bcdfghjklmnpqrstvwxyz][eiy][bcdfghjklmnpqrstvwxyz]*[aeiou]+ -> i ",  // 145
    u" [[ ir ]] [aeiou]+ -> ai r ",  // 146
    u" [[ iz ]] (er|e|es|ed|ing|ely) -> ai z ",  // 147
    u" [[ is ]] (er|e|es|ed|ing|ely) -> ai z ",  // 148
    u" [[ i ]] d(er|e|es|ed|ing|ely) -> ai ",  // 149
    u"[eiy][bcdfghjklmnpqrstvwxyz] [[ i ]] [bcdfghjklmnpqrstvwxyz][eiy] -> i ",  // 150
    u" [[ i ]] t(er|e|es|ed|ing|ely) -> ai ",  // 151
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz] [[ i ]] [bcdfghjklmnpqrstvwxyz][eiy] -> i ",  // 152
    u" [[ i ]] [bcdfghjklmnpqrstvwxyz][eiy] -> ai ",  // 153
    u" [[ ir ]]  -> @@ ",  // 154
    u" [[ igh ]]  -> ai ",  // 155
    u" [[ ild ]]  -> ai l d ",  // 156
    u" [[ ign ]] $ -> ai n ",  // 157
    u" [[ ign ]] [bcdfghjklmnpqrstvwxyz] -> ai n ",  // 158
    u" [[ ign ]] (er|e|es|ed|ing|ely) -> ai n ",  // 159
    u" [[ ique ]]  -> ii k ",  // 160
    u" [[ i ]]  -> i ",  // 161

    // "j"
    u" [[ j ]]  -> jh ",  // 162

    // "k"
    u"^ [[ k ]] n -> ",  // 163
    u" [[ k ]]  -> k ",  // 164

    // "l"
    u" [[ lo ]] c[aeiou]+ -> l ou ",  // 165
    u"l [[ l ]]  -> ",  // 166
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz] [[ l ]] (er|e|es|ed|ing|ely) -> @ l ",  // 167
    u" [[ lead ]]  -> l ii d ",  // 168
    u" [[ l ]]  -> l ",  // 169

    // "m"
    u" [[ mov ]]  -> m uu v ",  // 170
    u" [[ m ]]  -> m ",  // 171

    // "n"
    u"e [[ ng ]] [eiy] -> n jh ",  // 172
    u" [[ ng ]] r -> ng g ",  // 173
    u" [[ ng ]] [aeiou]+ -> ng g ",  // 174
    u" [[ ngl ]] (er|e|es|ed|ing|ely) -> ng g @ l ",  // 175
    u" [[ ng ]]  -> ng ",  // 176
    u" [[ nk ]]  -> ng k ",  // 177
    u"^ [[ now ]] $ -> n au ",  // 178
    u" [[ n ]]  -> n ",  // 179

    // "o"
    u" [[ of ]] $ -> @ v ",  // 180
    u" [[ orough ]]  -> @@ ou ",  // 181
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ or ]] $ -> @@ ",  // 182
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ ors ]] $ -> @@ z ",  // 183
    u" [[ or ]]  -> oo r ",  // 184
    u"^ [[ one ]]  -> w uh n ",  // 185
    u" [[ ow ]]  -> ou ",  // 186
    u"^ [[ over ]]  -> ou v @@ ",  // 187
    u" [[ ov ]]  -> uh v ",  // 188
    u" [[ o ]] [bcdfghjklmnpqrstvwxyz](er|e|es|ed|ing|ely) -> ou ",  // 189
    u" [[ o ]] [bcdfghjklmnpqrstvwxyz]en -> ou ",  // 190
    u" [[ o ]] [bcdfghjklmnpqrstvwxyz]i[aeiou]+ -> ou ",  // 191
    u" [[ ol ]] d -> ou l ",  // 192
    u" [[ ought ]]  -> oo t ",  // 193
    u" [[ ough ]]  -> uh f ",  // 194
    u"^ [[ ou ]]  -> au ",  // 195
    u"h [[ ou ]] s[aeiou]+ -> au ",  // 196
    u" [[ ous ]]  -> @ s ",  // 197
    u" [[ our ]]  -> oo r ",  // 198
    u" [[ ould ]]  -> u d ",  // 199
    u"[bcdfghjklmnpqrstvwxyz] [[ ou ]] [bcdfghjklmnpqrstvwxyz]l -> uh ",  // 200
    u" [[ oup ]]  -> uu p ",  // 201
    u" [[ ou ]]  -> au ",  // 202
    u" [[ oy ]]  -> oi ",  // 203
    u" [[ oing ]]  -> ou i ng ",  // 204
    u" [[ oi ]]  -> oi ",  // 205
    u" [[ oor ]]  -> oo r ",  // 206
    u" [[ ook ]]  -> u k ",  // 207
    u" [[ ood ]]  -> u d ",  // 208
    u" [[ oo ]]  -> uu ",  // 209
    u" [[ o ]] e -> ou ",  // 210
    u" [[ o ]] $ -> ou ",  // 211
    u" [[ oa ]]  -> ou ",  // 212
    u"^ [[ only ]]  -> ou n l ii ",  // 213
    u"^ [[ once ]]  -> w uh n s ",  // 214
    u" [[ on't ]]  -> ou n t ",  // 215
    u"c [[ o ]] n -> aa ",  // 216
    u" [[ o ]] ng -> oo ",  // 217
    u"^[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz] [[ o ]] n -> uh ",  // 218
    u"i [[ on ]]  -> @ n ",  // 219
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ on ]] $ -> @ n ",  // 220
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz] [[ on ]]  -> @ n ",  // 221
    u" [[ o ]] st$ -> ou ",  // 222
    u" [[ of ]] [bcdfghjklmnpqrstvwxyz] -> oo f ",  // 223
    u" [[ other ]]  -> uh dh @@ ",  // 224
    u" [[ oss ]] $ -> oo s ",  // 225
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz] [[ om ]]  -> uh m ",  // 226
    u" [[ o ]]  -> aa ",  // 227

    // "p"
    u" [[ ph ]]  -> f ",  // 228
    u" [[ peop ]]  -> p ii p ",  // 229
    u" [[ pow ]]  -> p au ",  // 230
    u" [[ put ]] $ -> p u t ",  // 231
    u" [[ p ]]  -> p ",  // 232

    // "q"
    u" [[ quar ]]  -> k w oo r ",  // 233
    u" [[ qu ]]  -> k w ",  // 234
    u" [[ q ]]  -> k ",  // 235

    // "r"
    u"^ [[ re ]] [bcdfghjklmnpqrstvwxyz][aeiou]+ -> r ii ",  // 236
    u" [[ r ]]  -> r ",  // 237

    // "s"
    u" [[ sh ]]  -> sh ",  // 238
    u"[aeiou]+ [[ sion ]]  -> zh @ n ",  // 239
    u" [[ some ]]  -> s uh m ",  // 240
    u"[aeiou]+ [[ sur ]] [aeiou]+ -> zh @@ ",  // 241
    u" [[ sur ]] [aeiou]+ -> sh @@ ",  // 242
    u"[aeiou]+ [[ su ]] [aeiou]+ -> zh uu ",  // 243
    u"[aeiou]+ [[ ssu ]] [aeiou]+ -> sh uu ",  // 244
    u"[aeiou]+ [[ sed ]] $ -> z d ",  // 245
    u"[aeiou]+ [[ s ]] [aeiou]+ -> z ",  // 246
    u" [[ said ]]  -> s e d ",  // 247
    u"[bcdfghjklmnpqrstvwxyz] [[ sion ]]  -> sh @ n ",  // 248
    u" [[ s ]] s -> ",  // 249
    u"[bdvjlmnrw] [[ s ]] $ -> z ",  // 250
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bdvjlmnrw]e [[ s ]] $ -> z ",  // 251
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz][aeiou]+[aeiou]+ [[ s ]] $ -> z ",  // 252
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz][aeiou]+ [[ s ]] $ -> s ",  // 253
    u"u [[ s ]] $ -> s ",  // 254
    u"^[bcdfghjklmnpqrstvwxyz]*[aeiou]+ [[ s ]] $ -> z ",  // 255
    u"^ [[ sch ]]  -> s k ",  // 256
    u" [[ s ]] c[eiy] -> ",  // 257
    u"[aeiou]+ [[ sm ]]  -> z m ",  // 258
    u"[aeiou]+ [[ sn ]] ' -> z @ n ",  // 259
    u" [[ s ]]  -> s ",  // 260

    // "t"
    u"^ [[ the ]] $ -> dh @ ",  // 261
    u" [[ to ]] $ -> t uu ",  // 262
    u" [[ that ]] $ -> dh a t ",  // 263
    u"^ [[ this ]] $ -> dh i s ",  // 264
    u"^ [[ they ]]  -> dh ei ",  // 265
    u"^ [[ there ]]  -> dh e r ",  // 266
    u" [[ ther ]]  -> dh @@ ",  // 267
    u" [[ their ]]  -> dh e r ",  // 268
    u"^ [[ than ]] $ -> dh a n ",  // 269
    u"^ [[ them ]] $ -> dh e m ",  // 270
    u" [[ these ]] $ -> dh ii z ",  // 271
    u"^ [[ then ]]  -> dh e n ",  // 272
    u" [[ through ]]  -> th r uu ",  // 273
    u" [[ those ]]  -> dh ou z ",  // 274
    u" [[ though ]] $ -> dh ou ",  // 275
    u"^ [[ thus ]]  -> dh uh s ",  // 276
    u" [[ th ]]  -> th ",  // 277
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]* [[ ted ]] $ -> t i d ",  // 278
    u"s [[ ti ]] [aeiou]+n -> ch ",  // 279
    u" [[ ti ]] o -> sh ",  // 280
    u" [[ ti ]] a -> sh ",  // 281
    u" [[ tien ]]  -> sh @ n ",  // 282
    u" [[ tur ]] [aeiou]+ -> ch @@ ",  // 283
    u" [[ tu ]] a -> ch uu ",  // 284
    u"^ [[ two ]]  -> t uu ",  // 285
    u" [[ t ]]  -> t ",  // 286

    // "u"
    u"^ [[ un ]] i -> y uu n ",  // 287
    u"^ [[ un ]]  -> uh n ",  // 288
    u"^ [[ upon ]]  -> @ p oo n ",  // 289
    u"t [[ ur ]] [aeiou]+ -> u r ",  // 290
    u"s [[ ur ]] [aeiou]+ -> u r ",  // 291
    u"r [[ ur ]] [aeiou]+ -> u r ",  // 292
    u"d [[ ur ]] [aeiou]+ -> u r ",  // 293
    u"l [[ ur ]] [aeiou]+ -> u r ",  // 294
    u"z [[ ur ]] [aeiou]+ -> u r ",  // 295
    u"n [[ ur ]] [aeiou]+ -> u r ",  // 296
    u"j [[ ur ]] [aeiou]+ -> u r ",  // 297
    u"th [[ ur ]] [aeiou]+ -> u r ",  // 298
    u"ch [[ ur ]] [aeiou]+ -> u r ",  // 299
    u"sh [[ ur ]] [aeiou]+ -> u r ",  // 300
    u" [[ ur ]] [aeiou]+ -> y u r ",  // 301
    u" [[ ur ]]  -> @@ ",  // 302
    u" [[ u ]] [bcdfghjklmnpqrstvwxyz]$ -> uh ",  // 303
    u" [[ u ]] [bcdfghjklmnpqrstvwxyz][bcdfghjklmnpqrstvwxyz] -> uh ",  // 304
    u" [[ uy ]]  -> ai ",  // 305
    u"^g [[ u ]] [aeiou]+ -> ",  // 306
    u"g [[ u ]] (er|e|es|ed|ing|ely) -> ",  // 307
    u"g [[ u ]] [aeiou]+ -> w ",  // 308
    u"[aeiou]+n [[ u ]]  -> y uu ",  // 309
    u"t [[ u ]]  -> uu ",  // 310
    u"s [[ u ]]  -> uu ",  // 311
    u"r [[ u ]]  -> uu ",  // 312
    u"d [[ u ]]  -> uu ",  // 313
    u"l [[ u ]]  -> uu ",  // 314
    u"z [[ u ]]  -> uu ",  // 315
    u"n [[ u ]]  -> uu ",  // 316
    u"j [[ u ]]  -> uu ",  // 317
    u"th [[ u ]]  -> uu ",  // 318
    u"ch [[ u ]]  -> uu ",  // 319
    u"sh [[ u ]]  -> uu ",  // 320
    u" [[ u ]]  -> y uu ",  // 321

    // "v"
    u" [[ view ]]  -> v y uu ",  // 322
    u" [[ v ]]  -> v ",  // 323

    // "w"
    u"^ [[ were ]]  -> w @@ ",  // 324
    u" [[ wa ]] s -> w aa ",  // 325
    u" [[ wa ]] t -> w aa ",  // 326
    u" [[ where ]]  -> w e r ",  // 327
    u" [[ what ]]  -> w aa t ",  // 328
    u" [[ whol ]]  -> h ou l ",  // 329
    u" [[ who ]]  -> h uu ",  // 330
    u" [[ wh ]]  -> w ",  // 331
    u" [[ war ]]  -> w oo r ",  // 332
    u" [[ wor ]] [bcdfghjklmnpqrstvwxyz] -> w @@ ",  // 333
    u" [[ wr ]]  -> r ",  // 334
    u" [[ w ]]  -> w ",  // 335

    // "x"
    u" [[ x ]]  -> k s ",  // 336

    // "y"
    u" [[ young ]]  -> y uh ng ",  // 337
    u"^ [[ you ]]  -> y uu ",  // 338
    u"^ [[ yes ]]  -> y e s ",  // 339
    u"^ [[ y ]]  -> y ",  // 340
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz] [[ y ]] $ -> ii ",  // 341
    u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz] [[ y ]] i -> ii ",  // 342
    u"^[bcdfghjklmnpqrstvwxyz]* [[ y ]] $ -> ai ",  // 343
    u"^[bcdfghjklmnpqrstvwxyz]* [[ y ]] [aeiou]+ -> ai ",  // 344
    u"^[bcdfghjklmnpqrstvwxyz]* [[ y ]] [bcdfghjklmnpqrstvwxyz][eiy][bcdfghjklmnpqrstvwxyz]*[aeiou]+ -> i ",  // 345
    u"^[bcdfghjklmnpqrstvwxyz]* [[ y ]] [bcdfghjklmnpqrstvwxyz][aeiou]+ -> ai ",  // 346
    u" [[ y ]]  -> i ",  // 347

    // "z"
    u" [[ z ]]  -> z ",  // 348
};
// clang-format on

}  // namespace

std::span<const std::u16string_view> EnglishRules() noexcept { return kRules; }

}  // namespace vantel::phonetics
