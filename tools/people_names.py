"""The name, place and street lists of tools/make_people.py, kept apart from its code.

Given names carry the short forms that a second registration of the same
person often uses instead. Surnames are in order of how common they are: the
generator gives them Zipf-like weights by rank, so the first ones repeat a lot.
Towns carry the letters their postcodes begin with and how many districts they
have. Accented spellings are the "proper" ones; the generator writes them
without their accents too, as keyboards and old systems do.
"""

# name: short forms (comma separated, may be empty), roughly by popularity.
MALE = """
James:Jim,Jimmy,Jamie|John:Johnny,Jack|Robert:Bob,Rob,Bobby|Michael:Mike,Mick|William:Bill,Will,Billy
David:Dave,Davy|Richard:Rick,Dick,Rich|Joseph:Joe,Joey|Thomas:Tom,Tommy|Charles:Charlie,Chuck
Christopher:Chris,Kit|Daniel:Dan,Danny|Matthew:Matt|Anthony:Tony|Mark:|Donald:Don|Steven:Steve
Paul:|Andrew:Andy,Drew|Joshua:Josh|Kenneth:Ken,Kenny|Kevin:Kev|Brian:|George:Georgie|Timothy:Tim
Ronald:Ron,Ronnie|Edward:Ed,Ted,Eddie|Jason:|Jeffrey:Jeff|Ryan:|Jacob:Jake|Gary:|Nicholas:Nick,Nicky
Eric:|Jonathan:Jon,Johnny|Stephen:Steve|Larry:|Justin:|Scott:|Brandon:|Benjamin:Ben,Benny|Samuel:Sam,Sammy
Gregory:Greg|Alexander:Alex,Sandy|Frank:Frankie|Patrick:Pat,Paddy|Raymond:Ray|Jack:|Dennis:Denny
Jerry:|Tyler:|Aaron:|José:Pepe|Adam:|Nathan:Nate|Henry:Harry,Hank|Douglas:Doug|Zachary:Zach|Peter:Pete
Kyle:|Ethan:|Walter:Walt,Wally|Noah:|Jeremy:Jerry|Christian:|Keith:|Roger:|Terry:|Gerald:Gerry
Harold:Harry|Sean:|Austin:|Carl:|Arthur:Art,Artie|Lawrence:Larry|Dylan:|Jesse:|Jordan:|Bryan:
Billy:|Joe:|Bruce:|Gabriel:Gabe|Logan:|Albert:Al,Bert|Willie:|Alan:Al|Juan:|Wayne:|Elijah:Eli
Randy:|Roy:|Vincent:Vince|Ralph:|Eugene:Gene|Russell:Russ|Bobby:|Mason:|Philip:Phil|Louis:Lou
Frederick:Fred,Freddie|Leonard:Leo,Len,Lenny|Stanley:Stan|Bernard:Bernie|Theodore:Ted,Theo
Oliver:Ollie|Harry:|Jacques:|Oscar:|Hugo:|Liam:|Lucas:|Connor:|Callum:|Owen:|Rhys:|Gareth:
Graham:|Nigel:|Trevor:|Clive:|Malcolm:Mal|Duncan:|Angus:|Hamish:|Declan:|Seamus:|Ciaran:|Niall:
Mohammed:Mo|Ahmed:|Ali:|Omar:|Hassan:|Tariq:|Imran:|Raj:|Sanjay:|Arjun:|Vikram:|Hiroshi:|Kenji:
Wei:|Jun:|Chen:|Kwame:|Chidi:|Emeka:|Tunde:|Piotr:|Tomasz:|Łukasz:|Krzysztof:|Jürgen:|Søren:
André:|René:|François:|Émile:|Raphaël:|Björn:|Jörg:|Stefan:|Matthias:|Lars:|Sven:|Nils:|Marco:
Luca:|Giovanni:Gianni|Giuseppe:Beppe|Antonio:Tony|Alejandro:Alex|Sergio:|Pablo:|Diego:|Mateo:
Joaquín:|Ramón:|Andrés:|Tomás:|Iñigo:|Nuno:|João:|Dmitri:Dima|Sergei:|Ivan:|Nikolai:Kolya
"""

FEMALE = """
Mary:Molly,Polly,Mae|Patricia:Pat,Patty,Trish|Jennifer:Jen,Jenny|Linda:Lindy|Elizabeth:Liz,Beth,Eliza,Betty
Barbara:Barb,Babs|Susan:Sue,Susie|Jessica:Jess,Jessie|Sarah:Sally|Karen:|Nancy:|Lisa:|Betty:
Margaret:Peggy,Maggie,Meg,Madge|Sandra:Sandy|Ashley:|Kimberly:Kim|Emily:Em,Emmy|Donna:|Michelle:Shelly
Dorothy:Dot,Dottie|Carol:|Amanda:Mandy|Melissa:Mel,Missy|Deborah:Deb,Debbie|Stephanie:Steph
Rebecca:Becky,Becca|Sharon:Shari|Laura:Laurie|Cynthia:Cindy|Kathleen:Kathy,Kath|Amy:|Angela:Angie
Shirley:|Anna:Annie|Brenda:|Pamela:Pam|Emma:|Nicole:Nikki|Helen:Nell|Samantha:Sam,Sammy
Katherine:Kate,Kathy,Katie|Christine:Chris,Chrissie|Debra:Deb|Rachel:|Carolyn:Carrie|Janet:Jan
Catherine:Cathy,Kate,Cath|Maria:|Heather:|Diane:Di|Ruth:Ruthie|Julie:Jules|Olivia:Liv|Joyce:
Virginia:Ginny|Victoria:Vicky,Tori|Kelly:|Lauren:|Christina:Tina|Joan:Joanie|Evelyn:Eve,Evie
Judith:Judy|Megan:Meg|Andrea:Andi|Cheryl:|Hannah:|Jacqueline:Jackie|Martha:Marty,Mattie
Gloria:|Teresa:Terri,Tess|Ann:Annie|Sara:|Madison:Maddie|Frances:Fran,Frankie|Kathryn:Kate,Kathy
Janice:Jan|Jean:|Abigail:Abby,Gail|Alice:Ally|Judy:|Sophia:Sophie|Grace:Gracie|Denise:|Amber:
Doris:|Marilyn:|Danielle:Dani|Beverly:Bev|Isabella:Bella,Izzy|Theresa:Tess,Terri|Diana:Di
Natalie:Nat|Brittany:|Charlotte:Lottie,Charlie|Marie:|Kayla:|Alexis:Lexi|Lori:|Eleanor:Ellie,Nora
Florence:Flo|Edith:Edie|Gwendolyn:Gwen|Josephine:Jo,Josie|Louise:Lou|Penelope:Penny|Susannah:Sue
Wendy:|Gillian:Jill|Fiona:|Siobhan:|Niamh:|Aoife:|Sinead:|Bronwen:|Carys:|Isla:|Ava:|Mia:|Amelia:Millie
Chloé:|Zoë:|Renée:|Hélène:|Agnès:|Noémie:|Inés:|Mónica:|Ana:|Lucía:|Sofía:|Pilar:|Begoña:
Małgorzata:Gosia|Agnieszka:|Katarzyna:Kasia|Ingrid:|Astrid:|Birgit:|Giulia:|Francesca:
Chiara:|Aisha:|Fatima:|Ayesha:|Priya:|Ananya:|Deepa:|Yuki:|Mei:|Aiko:|Ngozi:|Chioma:|Amara:
Olga:|Tatiana:Tanya|Svetlana:Sveta|Natalia:Natasha
"""

SURNAMES = """
Smith Jones Williams Taylor Brown Davies Evans Wilson Thomas Johnson Roberts Robinson Thompson Wright
Walker White Edwards Hughes Green Hall Lewis Harris Clarke Patel Jackson Wood Turner Martin Cooper Hill
Ward Morris Moore Clark Lee King Baker Harrison Morgan Allen James Scott Phillips Watson Davis Parker
Price Bennett Young Griffiths Mitchell Kelly Cook Carter Richardson Bailey Collins Bell Shaw Murphy
Miller Cox Richards Khan Marshall Anderson Simpson Ellis Adams Singh Begum Wilkinson Foster Chapman
Powell Webb Rogers Gray Mason Ali Hunt Hussain Campbell Matthews Owen Palmer Holmes Mills Barnes Knight
Lloyd Butler Russell Barker Fisher Stevens Jenkins Murray Dixon Harvey Graham Pearson Ahmed Fletcher
Walsh Kaur Gibson Howard Andrews Stewart Elliott Reynolds Saunders Payne Fox Ford Pearce Day Brooks
West Lawrence Cole Atkinson Bradley Spencer Gill Dawson Ball Burton O'Brien Watts Rose Booth Perry Ryan
Grant Wells Armstrong Francis Rees Hayes Hart Hudson Newman Barrett Webster Hunter Gregory Carr Lowe
Page Marsh Riley Dunn Woods Parsons Berry Stone Reid Holland Hawkins Harding Porter Robertson Newton
Oliver Reed Kennedy Williamson Bird Gardner Shah Dean Lane Cooke Bates Henderson Parry Burgess Bishop
Walton Burns Nicholson Shepherd Ross Cross Long Freeman Warren Nicholls Hamilton Byrne Sutton McDonald
Yates Hodgson Robson Curtis Hopkins O'Connor Harper Coleman Watkins Moss McCarthy Chambers O'Neill
Griffin Sharp Hardy Wheeler Potter Osborne Johnston Gordon Doyle Wallace George Jordan Hutchinson Rahman
Nguyen García Rodríguez Martínez López González Pérez Sánchez Fernández Jiménez Muñoz Álvarez Romero
Gómez Díaz Hernández Ramírez Torres Flores Núñez Müller Schröder Schäfer Köhler Bäcker Weiß Groß
Dubois Lefèvre Lemaître Benoît Gauthier Rousseau Moreau Faure Girard Rossi Bianchi Ferrari Esposito
Ricci Conti Nowak Kowalski Wiśniewski Wójcik Kamiński Lewandowski Zieliński Nováková Dvořák Østergaard
Jørgensen Sørensen Björk Åberg Öberg Lindström Håkansson MacLeod MacKenzie Fitzgerald Okafor Okonkwo
Adeyemi Mensah Tanaka Sato Suzuki Watanabe Kim Park Chen Wang Li Zhang Liu Yilmaz Kaya Demir Çelik
Papadopoulos Ivanov Petrov Kuznetsov Haddad Nasser Mahmoud Costa Silva Santos Oliveira Gonçalves
Ferreira Pereira Rodrigues Sousa Quinn Whitfield Ashworth Pemberton Thornton Blackwood Fairbanks
"""

# town: postcode area letters, number of districts.
TOWNS = """
London:N:22|London:SE:28|London:E:18|Birmingham:B:40|Leeds:LS:29|Glasgow:G:34|Sheffield:S:36
Manchester:M:40|Edinburgh:EH:55|Liverpool:L:38|Bristol:BS:41|Cardiff:CF:48|Leicester:LE:19|Coventry:CV:12
Bradford:BD:24|Belfast:BT:17|Nottingham:NG:25|Kingston upon Hull:HU:20|Newcastle upon Tyne:NE:16
Stoke-on-Trent:ST:21|Southampton:SO:53|Derby:DE:24|Portsmouth:PO:41|Plymouth:PL:35|Brighton:BN:45
Reading:RG:31|Wolverhampton:WV:16|Aberdeen:AB:25|Swansea:SA:73|Norwich:NR:35|York:YO:62|Oxford:OX:49
Cambridge:CB:25|Exeter:EX:39|Bath:BA:16|Chester:CH:8|Carlisle:CA:28|Durham:DH:9|Lancaster:LA:23
Preston:PR:26|Blackpool:FY:8|Bolton:BL:9|Wigan:WN:8|Warrington:WA:16|Huddersfield:HD:9|Halifax:HX:7
Harrogate:HG:5|Doncaster:DN:41|Lincoln:LN:13|Peterborough:PE:38|Ipswich:IP:33|Colchester:CO:16
Chelmsford:CM:24|Canterbury:CT:21|Guildford:GU:52|Salisbury:SP:11|Bournemouth:BH:25|Taunton:TA:24
Truro:TR:27|Gloucester:GL:56|Worcester:WR:15|Hereford:HR:9|Shrewsbury:SY:25|Telford:TF:13
Northampton:NN:18|Milton Keynes:MK:46|Luton:LU:7|St Albans:AL:10|Watford:WD:25|Dundee:DD:11
Inverness:IV:56|Perth:PH:50|Stirling:FK:21|Newport:NP:44|Wrexham:LL:78|Sunderland:SR:8|Middlesbrough:TS:29
"""

STREET_NAMES = """
High Church Station Main Park Victoria Green Manor Mill Kings Queens New School Grange Church Hill
Chapel Springfield George Windsor Albert York Alexandra Highfield Mill Hill Broad Orchard Meadow
Oak Elm Ash Beech Willow Cedar Holly Maple Chestnut Sycamore Hawthorn Rowan Birch Linden Lime
North South East West Bridge Castle Abbey Priory Market Water Well Brook River Forest Heath Moor
Rectory Vicarage Farm Ferry Harbour Quay Wharf Cross Common Marsh Fen Dale Vale Ridge Crown Princes
Nelson Wellington Cromwell Trafalgar Waterloo Stanley Gladstone Shakespeare Milton Byron Tennyson
Clarence Cambridge Oxford Bath Derby Denmark Portland Belgrave Clifton Richmond Grosvenor Cavendish
"""

STREET_KINDS = """
Street:40|Road:40|Lane:18|Avenue:14|Close:10|Drive:10|Way:7|Crescent:6|Gardens:5|Place:5|Terrace:5
Grove:4|Court:3|Walk:2|Row:2|Mews:1|Square:1
"""

EMAIL_DOMAINS = """
gmail.com:40|hotmail.co.uk:14|yahoo.co.uk:10|outlook.com:9|btinternet.com:7|icloud.com:6|hotmail.com:5
live.co.uk:3|aol.com:3|sky.com:3|virginmedia.com:3|googlemail.com:2|yahoo.com:2|protonmail.com:1
talktalk.net:1|ntlworld.com:1|mail.com:1
"""


def _records(text):
    return [item.strip() for item in text.replace("\n", "|").split("|") if item.strip()]


def given_names(text):
    """[(name, [short forms...]), ...] of a MALE or FEMALE block, duplicates kept once."""
    names, seen = [], set()
    for record in _records(text):
        name, _, short = record.partition(":")
        if name not in seen:
            seen.add(name)
            names.append((name, [s for s in short.split(",") if s]))
    return names


def surnames():
    names, seen = [], set()
    for name in SURNAMES.split():
        if name not in seen:
            seen.add(name)
            names.append(name)
    return names


def towns():
    """[(town, postcode area, districts), ...]."""
    return [(t, area, int(n)) for t, area, n in (r.split(":") for r in _records(TOWNS))]


def street_names():
    names, seen = [], set()
    for name in STREET_NAMES.split():
        if name not in seen:
            seen.add(name)
            names.append(name)
    return names


def weighted(text):
    """[(value, weight), ...] of a "value:weight|..." block."""
    return [(v, int(w)) for v, w in (r.rsplit(":", 1) for r in _records(text))]
